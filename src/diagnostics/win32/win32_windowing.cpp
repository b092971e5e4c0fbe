#include "diagnostics/win32/win32_windowing.hpp"

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <string_view>
#include <thread>

#include "base/module_state.hpp"
#include "diagnostics/thread_windows.hpp"
#include "diagnostics/wall_clock.hpp"
#include "diagnostics/win32/clipboard.hpp"
#include "diagnostics/win32/wide_text.hpp"
#include "diagnostics/win32/win32_views.hpp"
#include "diagnostics/window_event_queue.hpp"

namespace gpio_dll::diagnostics {

namespace {

using Clock = std::chrono::steady_clock;
// Changes that need not be seen at once reach the screen at most this often.
constexpr auto kRedrawInterval = std::chrono::milliseconds(30);
constexpr UINT kWorkMessage = WM_APP + 1;
constexpr wchar_t kWorkClass[] = L"GpioDllDiagnosticsWork";

// A window station without a visible desktop is a service's: nothing shown there is ever seen.
bool interactive_window_station() {
  HWINSTA station = GetProcessWindowStation();
  if (station == nullptr) return false;
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  if (!GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed)) return true;
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

// The module (DLL or program) this code is linked into, kept loaded for good: the GUI thread
// runs its code until the process ends.
HINSTANCE pinned_module() {
  static const char anchor = 0;
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&anchor), &module);
  return module;
}

// Closes the first message box of the enumerated thread as its OK button would.
BOOL CALLBACK close_box(HWND window, LPARAM closed) {
  wchar_t name[16] = {};
  const int length = GetClassNameW(window, name, 16);
  if (length <= 0 || length >= 16 ||
      std::wstring_view(name, static_cast<std::size_t>(length)) != L"#32770" ||
      !IsWindowVisible(window))
    return TRUE;
  SendMessageW(window, WM_COMMAND, IDOK, 0);
  *reinterpret_cast<bool*>(closed) = true;
  return FALSE;
}

}  // namespace

class Win32Windowing::Impl {
 public:
  explicit Impl(Win32Windowing& self) : self_(self), events_(&run_window_event) {}

  // Starts the GUI thread; false (and no thread left) when it cannot make a window.
  bool start() {
    std::promise<bool> started;
    auto result = started.get_future();
    gui_ = std::thread([this, &started] { gui_loop(started); });
    if (!result.get()) {
      gui_.join();
      return false;
    }
    gui_id_ = gui_.get_id();
    gui_.detach();  // ends with the process
    events_.start();
    return true;
  }

  // Work for the GUI thread, run in order (also inside a message box's loop).
  void post(std::function<void()> work) {
    {
      std::lock_guard lock(work_mutex_);
      work_.push_back(std::move(work));
    }
    PostMessageW(work_window_, kWorkMessage, 0, 0);
  }

  void run_on_gui(const std::function<void()>& work) {
    if (std::this_thread::get_id() == gui_id_) return work();
    std::promise<void> done;
    auto finished = done.get_future();
    post([&work, &done] {
      work();
      done.set_value();
    });
    finished.wait();
  }

  void deliver(std::shared_ptr<ModuleState> owner, std::function<void()> event) {
    events_.deliver(std::move(owner), std::move(event));
  }
  void wait_events_idle() { events_.wait_idle(); }

  // Snapshots are taken on the model's thread; the windows live on the GUI thread.
  void publish(const WindowModel& window, bool now, std::function<void(Win32View&)> then = {}) {
    {
      std::lock_guard lock(record_mutex_);
      auto& last = last_published_[&window];
      const auto t = Clock::now();
      if (!now && !then && t - last < kRedrawInterval) return;
      last = t;
    }
    auto snapshot = std::make_shared<Snapshot>(snapshot_of(window));
    const WindowModel* key = &window;
    post([this, key, snapshot, then] {
      Win32View* view = view_of(key);
      if (view == nullptr) return;
      view->apply(*snapshot);
      if (then) then(*view);
    });
  }

  void create_view(const WindowModel& window) {
    auto owner = window.owner_shared();
    auto snapshot = std::make_shared<Snapshot>(snapshot_of(window));
    const WindowModel* key = &window;
    const WindowModel::Kind kind = window.kind();
    post([this, key, owner, snapshot, kind] {
      auto view = make_win32_view(kind, owner, self_);
      view->apply(*snapshot);
      views_[key] = std::move(view);
    });
  }

  void destroy_view(const WindowModel& window) {
    {
      std::lock_guard lock(record_mutex_);
      last_published_.erase(&window);
    }
    const WindowModel* key = &window;
    post([this, key] { views_.erase(key); });
  }

  // GUI thread only.
  Win32View* view_of(const WindowModel* window) {
    auto it = views_.find(window);
    return it == views_.end() ? nullptr : it->second.get();
  }

  void start_timer(TimerId id, UINT interval_ms, std::function<void()> tick) {
    post([this, id, interval_ms, tick = std::move(tick)]() mutable {
      if (SetTimer(work_window_, static_cast<UINT_PTR>(id), interval_ms, nullptr) != 0)
        timers_[id] = std::move(tick);
    });
  }
  void stop_timer(TimerId id) {
    post([this, id] {
      if (timers_.erase(id) != 0) KillTimer(work_window_, static_cast<UINT_PTR>(id));
    });
  }
  std::size_t timer_count() const { return timers_.size(); }
  HWND work_window() const { return work_window_; }

  // Counts the message boxes put on the screen, for tests that close them.
  void message_box_opened() {
    std::lock_guard lock(box_mutex_);
    ++boxes_opened_;
    box_opened_.notify_all();
  }
  bool wait_message_box(int timeout_ms) {
    std::unique_lock lock(box_mutex_);
    const bool opened = box_opened_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                             [&] { return boxes_opened_ > boxes_closed_; });
    if (opened) ++boxes_closed_;
    return opened;
  }

  std::mutex clipboard_mutex;
  std::string clipboard;

 private:
  void drain() {
    for (;;) {
      std::function<void()> work;
      {
        std::lock_guard lock(work_mutex_);
        if (work_.empty()) return;
        work = std::move(work_.front());
        work_.pop_front();
      }
      work();
    }
  }

  static LRESULT CALLBACK work_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* impl = reinterpret_cast<Impl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (impl != nullptr && message == kWorkMessage) {
      impl->drain();
      return 0;
    }
    if (impl != nullptr && message == WM_TIMER) {
      auto it = impl->timers_.find(static_cast<TimerId>(wparam));
      if (it != impl->timers_.end()) it->second();
      return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
  }

  // Makes the classes and the hidden window that receives posted work and timer ticks. A
  // top-level window, not a message-only one, so that a desktop that cannot show windows is
  // found here.
  bool make_work_window() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    HINSTANCE instance = pinned_module();
    WNDCLASSEXW kind{};
    kind.cbSize = sizeof kind;
    kind.lpfnWndProc = &Impl::work_procedure;
    kind.hInstance = instance;
    kind.lpszClassName = kWorkClass;
    if (RegisterClassExW(&kind) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    if (!Win32View::register_class(instance)) return false;
    work_window_ =
        CreateWindowExW(0, kWorkClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, this);
    return work_window_ != nullptr;
  }

  void gui_loop(std::promise<bool>& started) {
    const bool ready = make_work_window();
    started.set_value(ready);
    if (!ready) return;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      // Tab, Enter and Escape move between controls and press buttons, as in a dialog.
      HWND root = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
      if (root != nullptr && root != work_window_ && IsDialogMessageW(root, &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }

  Win32Windowing& self_;
  std::thread gui_;
  std::thread::id gui_id_;
  HWND work_window_ = nullptr;
  WindowEventQueue events_;

  std::mutex work_mutex_;
  std::deque<std::function<void()>> work_;

  std::mutex box_mutex_;
  std::condition_variable box_opened_;
  int boxes_opened_ = 0;
  int boxes_closed_ = 0;

  std::mutex record_mutex_;
  std::map<const WindowModel*, Clock::time_point> last_published_;

  // GUI thread only.
  std::map<const WindowModel*, std::unique_ptr<Win32View>> views_;
  std::map<TimerId, std::function<void()>> timers_;
};

std::shared_ptr<Win32Windowing> Win32Windowing::create() {
  // One GUI thread per process, and its port lives as long as the process.
  static std::mutex mutex;
  static auto* running = new std::shared_ptr<Win32Windowing>();
  std::lock_guard lock(mutex);
  if (*running) return *running;
  if (!interactive_window_station()) return nullptr;
  auto port = std::shared_ptr<Win32Windowing>(new Win32Windowing());
  port->impl_ = new Impl(*port);
  if (!port->impl_->start()) {
    delete port->impl_;  // its thread has ended
    port->impl_ = nullptr;
    return nullptr;
  }
  *running = port;
  return port;
}

Win32Windowing::Win32Windowing() = default;

// The GUI thread and the event thread run until the process ends, with their Impl.
Win32Windowing::~Win32Windowing() = default;

void Win32Windowing::window_created(WindowModel& window) {
  impl_->create_view(window);
}

void Win32Windowing::window_visibility(WindowModel& window, bool shown) {
  impl_->publish(window, true, [shown](Win32View& view) { view.set_shown(shown); });
}

void Win32Windowing::window_unloaded(WindowModel& window) {
  impl_->destroy_view(window);
}

void Win32Windowing::window_changed(WindowModel& window, bool now) {
  impl_->publish(window, now);
}

void Win32Windowing::message_box(const std::string& text, const std::string& title) {
  impl_->run_on_gui([&] {
    impl_->message_box_opened();
    // Task-modal: the thread's windows wait for it, as a modal message box of the application.
    MessageBoxW(nullptr, widen(text).c_str(), widen(title).c_str(),
                MB_OK | MB_TASKMODAL | MB_SETFOREGROUND);
  });
}

void Win32Windowing::process_pending_messages() {}

std::string Win32Windowing::clipboard_text() {
  std::lock_guard lock(impl_->clipboard_mutex);
  return impl_->clipboard;
}

void Win32Windowing::clipboard_clear() {
  clipboard_put("");
}

void Win32Windowing::clipboard_put(const std::string& text) {
  {
    std::lock_guard lock(impl_->clipboard_mutex);
    impl_->clipboard = text;
  }
  impl_->post([this, text] { write_clipboard_text(impl_->work_window(), text); });
}

WindowingPort::TimerId Win32Windowing::start_timer(std::uint32_t interval_ms,
                                                   std::function<void()> tick) {
  static std::atomic<TimerId> next_id = 1;
  const TimerId id = next_id++;
  impl_->start_timer(id, interval_ms, std::move(tick));
  return id;
}

void Win32Windowing::stop_timer(TimerId id) {
  impl_->stop_timer(id);
}

void Win32Windowing::deliver_event(std::shared_ptr<ModuleState> owner,
                                   std::function<void()> event) {
  impl_->deliver(std::move(owner), std::move(event));
}

TimeOfDay Win32Windowing::time_of_day() {
  return time_of_day_of(local_now());
}

std::string Win32Windowing::general_date() {
  return general_date_of(local_now());
}

void* Win32Windowing::window_handle(const WindowModel& window) {
  return control_handle(window, "window");
}

void* Win32Windowing::control_handle(const WindowModel& window, const std::string& control) {
  HWND handle = nullptr;
  impl_->run_on_gui([&] {
    if (Win32View* view = impl_->view_of(&window)) handle = view->control(control);
  });
  return handle;
}

bool Win32Windowing::close_message_box(int timeout_ms) {
  if (!impl_->wait_message_box(timeout_ms)) return false;
  // Work runs inside the box's own message loop, once the box is on the screen.
  bool closed = false;
  impl_->run_on_gui([&] {
    EnumThreadWindows(GetCurrentThreadId(), &close_box, reinterpret_cast<LPARAM>(&closed));
  });
  return closed;
}

std::size_t Win32Windowing::running_timers() {
  std::size_t count = 0;
  impl_->run_on_gui([&] { count = impl_->timer_count(); });
  return count;
}

void Win32Windowing::settle() {
  for (int round = 0; round < 3; ++round) {
    impl_->wait_events_idle();
    impl_->run_on_gui([] {});
  }
}

std::shared_ptr<WindowingPort> make_toolkit_windowing(std::string& failure) {
  auto port = Win32Windowing::create();
  if (!port) failure = "no interactive desktop";
  return port;
}

}  // namespace gpio_dll::diagnostics
