#include "base/module_state.hpp"

#include <atomic>
#include <chrono>
#include <random>

#if defined(_WIN32)
#include <pthread.h>

#include <mutex>
#endif

namespace gpio_dll {

namespace {

// The window a thread gets while no diagnostics are registered: never shown, keeps nothing.
class UnseenWindow final : public DebugWindowSink {
 public:
  void startup() override {}
  bool shown() const override { return false; }
  void add_trace_line(std::string) override {}
  void cut_trace_to_limit() override {}
  void scroll_trace_to_end() override {}
  void process_pending_messages() override {}
  void repaint() override {}
  std::string& received_data() override {
    received_.clear();
    return received_;
  }
  void set_identification_field(int, std::string) override {}
  void set_result_line(std::string) override {}
  void set_progress_range(int, int) override {}
  void set_progress(int) override {}

 private:
  std::string received_;
};

std::atomic<DebugWindowFactory> g_debug_window_factory{nullptr};

#if defined(_WIN32)
// mingw-w64 keeps thread_local variables in blocks that its runtime may free before it runs
// their destructors at thread exit. The state's owner therefore lives on the heap, released
// through a key of its own; the thread_local is a plain pointer with nothing to destroy.
struct StateOwner {
  std::shared_ptr<ModuleState> state = std::make_shared<ModuleState>();
};

pthread_key_t state_key() {
  static pthread_key_t key;
  static std::once_flag once;
  std::call_once(once, [] {
    pthread_key_create(&key, [](void* owner) { delete static_cast<StateOwner*>(owner); });
  });
  return key;
}

const std::shared_ptr<ModuleState>& thread_state() {
  thread_local StateOwner* owner = nullptr;
  if (owner == nullptr) {
    owner = new StateOwner;
    pthread_setspecific(state_key(), owner);
  }
  return owner->state;
}
#else
const std::shared_ptr<ModuleState>& thread_state() {
  thread_local const std::shared_ptr<ModuleState> state = std::make_shared<ModuleState>();
  return state;
}
#endif

// A mark that no other thread or process uses: a process-wide random start, stepped per state
// and mixed (splitmix64). 0 is the record's "nobody" and never a mark.
std::uint64_t new_user_token() {
  static const std::uint64_t seed = [] {
    std::uint64_t value = static_cast<std::uint64_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
    try {
      std::random_device device;
      value ^= (static_cast<std::uint64_t>(device()) << 32) ^ device();
    } catch (...) {
      // No source of randomness: the clock alone still differs between processes.
    }
    return value;
  }();
  static std::atomic<std::uint64_t> counter{0};
  std::uint64_t z = seed + 0x9E3779B97F4A7C15ULL * ++counter;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  z ^= z >> 31;
  return z != 0 ? z : 1;
}

}  // namespace

void register_debug_window_factory(DebugWindowFactory factory) {
  g_debug_window_factory.store(factory);
}

ModuleState::ModuleState() : user_token(new_user_token()) {}

ModuleState::~ModuleState() {
  // The windows go first: they may still refer to the state while unloading.
  debug_window_.reset();
  login_form_.reset();
  // The thread is done with the component: give the handles back rather than leak them.
  if (port_) release_platform_resources();
}

void ModuleState::release_platform_resources() {
  if (HIDHandle != transport::kInvalidHandle) port_->close(HIDHandle);
  if (ReadHandle != transport::kInvalidHandle) port_->close(ReadHandle);
  if (read_event != transport::kNoEvent) port_->destroy_event(read_event);
  HIDHandle = transport::kInvalidHandle;
  ReadHandle = transport::kInvalidHandle;
  locked_handle = transport::kInvalidHandle;
  read_event = transport::kNoEvent;
  read_overlapped.reset();
}

std::shared_ptr<ModuleState> ModuleState::current_shared() {
  return thread_state();
}

ModuleState& ModuleState::current() {
  return *thread_state();
}

void ModuleState::bind_port(std::shared_ptr<transport::PlatformPort> port) {
  if (port == port_) return;
  if (port_) release_platform_resources();
  port_ = std::move(port);
}

DebugWindowSink& ModuleState::debug_window() {
  if (!debug_window_) {
    const DebugWindowFactory factory = g_debug_window_factory.load();
    // The window exists from here on, so references made by its own start-up find it.
    if (factory)
      debug_window_ = factory(*this);
    else
      debug_window_ = std::make_unique<UnseenWindow>();
    debug_window_->startup();
  }
  return *debug_window_;
}

void ModuleState::unload_debug_window() {
  debug_window_.reset();
}

void ModuleState::set_access_gate_window(std::unique_ptr<ThreadWindow> window) {
  login_form_ = std::move(window);
}

void ModuleState::unload_access_gate_window() {
  login_form_.reset();
}

}  // namespace gpio_dll
