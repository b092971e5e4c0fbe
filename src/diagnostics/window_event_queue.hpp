// The thread that runs window events (clicks, keys, timer ticks) for a toolkit front end: each
// against its owner's models, under the owner's operation lock, so that an event never runs
// inside an operation of the owning thread. After each event both windows of the owner are
// drawn again. Both are the runner's: the library's own (run_window_event) for the Win32 front end,
// the one in the host table for the FLTK module, which compiles its own copy of this queue.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace gpio_dll {
class ModuleState;
}

namespace gpio_dll::diagnostics {

class WindowEventQueue {
 public:
  // Runs an event against its owner.
  using Runner = void (*)(ModuleState& owner, const std::function<void()>& event);

  explicit WindowEventQueue(Runner run) : run_(run) {}
  ~WindowEventQueue() { stop(); }
  WindowEventQueue(const WindowEventQueue&) = delete;
  WindowEventQueue& operator=(const WindowEventQueue&) = delete;

  void start();
  // Drops what is still queued; an event that runs is finished first.
  void stop();
  bool stopped() const;

  void deliver(std::shared_ptr<ModuleState> owner, std::function<void()> event);
  // Returns once nothing is queued and no event runs.
  void wait_idle();

 private:
  void loop();

  const Runner run_;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable ready_;
  std::condition_variable idle_;
  std::deque<std::pair<std::shared_ptr<ModuleState>, std::function<void()>>> queue_;
  bool running_ = false;
  bool stopped_ = false;
};

}  // namespace gpio_dll::diagnostics
