// The thread that runs window events (clicks, keys, timer ticks) for a toolkit front end: each
// against its owner's models, under the owner's operation lock, so that an event never runs
// inside an operation of the owning thread. After each event both windows of the owner are
// drawn again. The lock and the drawing are the library's, through its host table.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "diagnostics/toolkit_module.hpp"

namespace gpio_dll::diagnostics {

class WindowEventQueue {
 public:
  explicit WindowEventQueue(const ToolkitHost& host) : host_(host) {}
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

  const ToolkitHost& host_;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable ready_;
  std::condition_variable idle_;
  std::deque<std::pair<std::shared_ptr<ModuleState>, std::function<void()>>> queue_;
  bool running_ = false;
  bool stopped_ = false;
};

}  // namespace gpio_dll::diagnostics
