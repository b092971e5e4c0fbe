#include "diagnostics/fltk/fltk_windowing.hpp"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <FL/x.H>
#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <thread>

#include "diagnostics/fltk/form_views.hpp"
#include "diagnostics/wall_clock.hpp"
#include "diagnostics/window_event_queue.hpp"

namespace gpio_dll::diagnostics {

namespace {

using Clock = std::chrono::steady_clock;
// Changes that need not be seen at once reach the screen at most this often.
constexpr auto kRedrawInterval = std::chrono::milliseconds(30);

std::atomic<bool>* g_display_lost = nullptr;

// Xlib exits the process after an I/O error (the display went away) unless the handlers return;
// here they only stop the GUI loop, and the client goes on with its windows off screen.
int on_io_error(Display*) {
  if (g_display_lost) *g_display_lost = true;
  return 0;
}
void on_io_error_exit(Display*, void*) {
  if (g_display_lost) *g_display_lost = true;
}

// Windows that were open when the process ended stay reachable here, never destroyed: their
// toolkit is gone by then.
std::vector<std::unique_ptr<View>>& abandoned_views() {
  static auto* views = new std::vector<std::unique_ptr<View>>();
  return *views;
}

}  // namespace

class FltkWindowing::Impl {
 public:
  explicit Impl(FltkWindowing& self) : self_(self), events_(self.host().run_event) {}

  // Takes over an open connection: FLTK's own opening ends the process when it fails.
  void start(Display* display) {
    g_display_lost = &display_lost_;
    std::promise<void> started;
    gui_ = std::thread([this, display, &started] { gui_loop(display, started); });
    started.get_future().wait();
    events_.start();
  }

  void stop() {
    if (events_.stopped()) return;
    events_.stop();
    Fl::awake(static_cast<void*>(nullptr));
    if (gui_.joinable()) gui_.join();
  }

  // Work for the GUI thread, run in order (also inside a message box's loop).
  void post(std::function<void()> work) {
    {
      std::lock_guard lock(work_mutex_);
      if (gui_done_) return;
      work_.push_back(std::move(work));
    }
    Fl::awake(&Impl::drain, this);
  }

  void run_on_gui(const std::function<void()>& work) {
    if (std::this_thread::get_id() == gui_.get_id()) return work();
    auto done = std::make_shared<std::promise<void>>();
    auto future = done->get_future();
    {
      std::lock_guard lock(work_mutex_);
      if (gui_done_) return;
      work_.push_back([&work, done] {
        work();
        done->set_value();
      });
    }
    Fl::awake(&Impl::drain, this);
    future.wait();
  }

  void deliver(std::shared_ptr<ModuleState> owner, std::function<void()> event) {
    events_.deliver(std::move(owner), std::move(event));
  }

  void wait_events_idle() { events_.wait_idle(); }

  // Snapshots are taken on the model's thread; the views live on the GUI thread.
  void publish(const WindowModel& window, bool now, std::function<void(View&)> then = {}) {
    {
      std::lock_guard lock(record_mutex_);
      auto& last = last_published_[&window];
      const auto t = Clock::now();
      if (!now && !then && t - last < kRedrawInterval) return;
      last = t;
    }
    auto snapshot = std::make_shared<Snapshot>(self_.host().snapshot_of(window));
    const WindowModel* key = &window;
    post([this, key, snapshot, then] {
      auto it = views_.find(key);
      if (it == views_.end()) return;
      it->second->apply(*snapshot);
      if (then) then(*it->second);
    });
  }

  void create_view(const WindowModel& window) {
    auto owner = self_.host().owner_of(window);
    auto snapshot = std::make_shared<Snapshot>(self_.host().snapshot_of(window));
    const WindowModel* key = &window;
    const WindowModel::Kind kind = window.kind();
    post([this, key, owner, snapshot, kind] {
      auto view = make_view(kind, owner, self_);
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

  View* view_of(const WindowModel& window) {
    auto it = views_.find(&window);
    return it == views_.end() ? nullptr : it->second.get();
  }

  bool display_lost() const { return display_lost_; }

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
  static void drain(void* data) {
    auto* impl = static_cast<Impl*>(data);
    for (;;) {
      std::function<void()> work;
      {
        std::lock_guard lock(impl->work_mutex_);
        if (impl->work_.empty()) return;
        work = std::move(impl->work_.front());
        impl->work_.pop_front();
      }
      if (!impl->display_lost_) work();
    }
  }

  void gui_loop(Display* display, std::promise<void>& started) {
    Fl::lock();  // turns on FLTK's thread support, so that other threads may wake this one
    fl_open_display(display);
    XSetIOErrorHandler(on_io_error);
    XSetIOErrorExitHandler(fl_display, on_io_error_exit, nullptr);
    started.set_value();
    while (!display_lost_ && !events_.stopped()) {
      Fl::wait(0.1);
      drain(this);
    }
    std::deque<std::function<void()>> left;
    {
      std::lock_guard lock(work_mutex_);
      gui_done_ = true;
      left.swap(work_);
    }
    // Waiters on unfinished work are released by running it without the toolkit.
    for (auto& work : left)
      if (!display_lost_) work();
    for (auto& [key, view] : views_)
      abandoned_views().push_back(std::move(view));
    views_.clear();
    Fl::unlock();
  }

  FltkWindowing& self_;
  std::thread gui_;
  WindowEventQueue events_;
  std::atomic<bool> display_lost_ = false;

  std::mutex work_mutex_;
  std::deque<std::function<void()>> work_;
  bool gui_done_ = false;

  std::mutex box_mutex_;
  std::condition_variable box_opened_;
  int boxes_opened_ = 0;
  int boxes_closed_ = 0;

  std::mutex record_mutex_;
  std::map<const WindowModel*, Clock::time_point> last_published_;

  std::map<const WindowModel*, std::unique_ptr<View>> views_;  // GUI thread only
};

namespace {
FltkWindowing::Impl* g_running = nullptr;
void stop_at_exit() {
  if (g_running) g_running->stop();
}
}  // namespace

std::shared_ptr<FltkWindowing> FltkWindowing::create(const ToolkitHost& host) {
  // FLTK is one per process: so is its GUI thread.
  static std::mutex mutex;
  static std::shared_ptr<FltkWindowing> running;
  std::lock_guard lock(mutex);
  if (running) return running;
  // Only where a display can be opened; elsewhere the windows stay headless. The connection
  // opened here is the one FLTK uses: closing it and letting FLTK open its own would race with
  // a server that resets when its last client leaves, and FLTK exits the process when it cannot
  // open the display.
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return nullptr;
  auto port = std::shared_ptr<FltkWindowing>(new FltkWindowing(host));
  port->impl_ = std::make_unique<Impl>(*port);
  port->impl_->start(display);
  g_running = port->impl_.get();
  static const bool registered = [] {
    std::atexit(stop_at_exit);
    return true;
  }();
  (void)registered;
  running = port;
  return port;
}

FltkWindowing::FltkWindowing(const ToolkitHost& host) : host_(host) {}

FltkWindowing::~FltkWindowing() {
  if (impl_) impl_->stop();
  if (g_running == impl_.get()) g_running = nullptr;
}

void FltkWindowing::window_created(WindowModel& window) {
  impl_->create_view(window);
}

void FltkWindowing::window_visibility(WindowModel& window, bool shown) {
  impl_->publish(window, true, [shown](View& view) { view.set_shown(shown); });
}

void FltkWindowing::window_unloaded(WindowModel& window) {
  impl_->destroy_view(window);
}

void FltkWindowing::window_changed(WindowModel& window, bool now) {
  impl_->publish(window, now);
}

void FltkWindowing::message_box(const std::string& text, const std::string& title) {
  if (impl_->display_lost()) return;
  impl_->run_on_gui([&] {
    fl_message_title(title.c_str());
    impl_->message_box_opened();
    fl_message("%s", text.c_str());
  });
}

void FltkWindowing::process_pending_messages() {}

std::string FltkWindowing::clipboard_text() {
  std::lock_guard lock(impl_->clipboard_mutex);
  return impl_->clipboard;
}

void FltkWindowing::clipboard_clear() {
  clipboard_put("");
}

void FltkWindowing::clipboard_put(const std::string& text) {
  {
    std::lock_guard lock(impl_->clipboard_mutex);
    impl_->clipboard = text;
  }
  impl_->post([text] { Fl::copy(text.c_str(), static_cast<int>(text.size()), 1); });
}

namespace {
struct FltkTimer;
// GUI thread only.
std::map<WindowingPort::TimerId, FltkTimer*>& timers() {
  static std::map<WindowingPort::TimerId, FltkTimer*> all;
  return all;
}
struct FltkTimer {
  double seconds;
  std::function<void()> tick;
  bool active = true;
  static void fire(void* data) {
    auto* timer = static_cast<FltkTimer*>(data);
    if (!timer->active) return;
    timer->tick();
    Fl::repeat_timeout(timer->seconds, &FltkTimer::fire, data);
  }
};
}  // namespace

WindowingPort::TimerId FltkWindowing::start_timer(std::uint32_t interval_ms,
                                                  std::function<void()> tick) {
  static std::atomic<TimerId> next_id = 1;
  const TimerId id = next_id++;
  auto* timer = new FltkTimer{interval_ms / 1000.0, std::move(tick)};
  impl_->post([id, timer] {
    timers()[id] = timer;
    Fl::add_timeout(timer->seconds, &FltkTimer::fire, timer);
  });
  return id;
}

void FltkWindowing::stop_timer(TimerId id) {
  impl_->post([id] {
    auto it = timers().find(id);
    if (it == timers().end()) return;
    Fl::remove_timeout(&FltkTimer::fire, it->second);
    delete it->second;
    timers().erase(it);
  });
}

void FltkWindowing::deliver_event(std::shared_ptr<ModuleState> owner, std::function<void()> event) {
  impl_->deliver(std::move(owner), std::move(event));
}

TimeOfDay FltkWindowing::time_of_day() {
  return time_of_day_of(local_now());
}

std::string FltkWindowing::general_date() {
  return general_date_of(local_now());
}

void FltkWindowing::click(const WindowModel& window, const std::string& control) {
  impl_->run_on_gui([&] {
    if (View* v = impl_->view_of(window)) v->click(control);
  });
}

void FltkWindowing::type(const WindowModel& window, const std::string& control,
                         const std::string& text) {
  impl_->run_on_gui([&] {
    if (View* v = impl_->view_of(window)) v->type(control, text);
  });
}

std::string FltkWindowing::text_of(const WindowModel& window, const std::string& control) {
  std::string text;
  impl_->run_on_gui([&] {
    if (View* v = impl_->view_of(window)) text = v->text_of(control);
  });
  return text;
}

bool FltkWindowing::shown_on_screen(const WindowModel& window) {
  bool shown = false;
  impl_->run_on_gui([&] {
    if (View* v = impl_->view_of(window)) shown = v->shown();
  });
  return shown;
}

unsigned long FltkWindowing::x_window(const WindowModel& window) {
  unsigned long id = 0;
  impl_->run_on_gui([&] {
    if (View* v = impl_->view_of(window)) id = v->x_window();
  });
  return id;
}

bool FltkWindowing::close_message_box(int timeout_ms) {
  if (!impl_->wait_message_box(timeout_ms)) return false;
  bool closed = false;
  impl_->run_on_gui([&] {
    if (Fl_Window* box = Fl::modal()) {
      box->hide();
      closed = true;
    }
  });
  return closed;
}

void FltkWindowing::settle() {
  for (int round = 0; round < 3; ++round) {
    impl_->wait_events_idle();
    impl_->run_on_gui([] { Fl::flush(); });
  }
}

bool FltkWindowing::display_alive() const {
  return !impl_->display_lost();
}

}  // namespace gpio_dll::diagnostics
