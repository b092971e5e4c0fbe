#include "diagnostics/trace_subscribers.hpp"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "base/module_state.hpp"

namespace gpio_dll::diagnostics {

namespace detail {
std::atomic<int> g_trace_subscribers{0};
}

namespace {

struct Subscriber {
  std::uint64_t id = 0;
  std::weak_ptr<const ModuleState> thread;  // expired and empty: every thread
  bool every_thread = false;
  TraceCallback callback;

  // The threads of the calls in flight (a thread once for each nested call), so that
  // unsubscribing can wait for them to end. Kept here rather than in thread_local storage, which
  // mingw may free before a thread's last lines are traced at its exit.
  std::mutex mutex;
  std::condition_variable idle;
  std::vector<std::thread::id> callers;
  bool active = true;
};

struct Registry {
  std::mutex mutex;
  std::vector<std::shared_ptr<Subscriber>> subscribers;
  std::uint64_t next_id = 1;
};

// Never destroyed: threads may still trace while the process ends.
Registry& registry() {
  static Registry* instance = new Registry;
  return *instance;
}

bool hears(const Subscriber& s, const ModuleState& thread) {
  if (s.every_thread) return true;
  const auto owner = s.thread.lock();
  return owner.get() == &thread;
}

}  // namespace

std::uint64_t subscribe_trace(const std::shared_ptr<const ModuleState>& thread,
                              TraceCallback callback) {
  auto s = std::make_shared<Subscriber>();
  s->thread = thread;
  s->every_thread = thread == nullptr;
  s->callback = std::move(callback);
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  s->id = r.next_id++;
  r.subscribers.push_back(s);
  detail::g_trace_subscribers.store(static_cast<int>(r.subscribers.size()),
                                    std::memory_order_relaxed);
  return s->id;
}

void unsubscribe_trace(std::uint64_t id) {
  std::shared_ptr<Subscriber> s;
  {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = std::find_if(r.subscribers.begin(), r.subscribers.end(),
                           [id](const auto& entry) { return entry->id == id; });
    if (it == r.subscribers.end()) return;
    s = *it;
    r.subscribers.erase(it);
    detail::g_trace_subscribers.store(static_cast<int>(r.subscribers.size()),
                                      std::memory_order_relaxed);
  }
  // Calls of this callback further up this thread's stack cannot end before this one returns.
  std::unique_lock lock(s->mutex);
  s->active = false;
  const auto own = static_cast<std::size_t>(
      std::count(s->callers.begin(), s->callers.end(), std::this_thread::get_id()));
  s->idle.wait(lock, [&] { return s->callers.size() <= own; });
}

void deliver_trace(const ModuleState& thread, std::string_view line) {
  std::vector<std::shared_ptr<Subscriber>> hearing;
  {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    for (const auto& s : r.subscribers)
      if (hears(*s, thread)) hearing.push_back(s);
  }
  for (const auto& s : hearing) {
    {
      std::lock_guard lock(s->mutex);
      if (!s->active) continue;
      s->callers.push_back(std::this_thread::get_id());
    }
    try {
      s->callback(line);
    } catch (...) {
    }
    std::lock_guard lock(s->mutex);
    s->callers.erase(std::find(s->callers.begin(), s->callers.end(), std::this_thread::get_id()));
    s->idle.notify_all();
  }
}

}  // namespace gpio_dll::diagnostics
