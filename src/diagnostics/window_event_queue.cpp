#include "diagnostics/window_event_queue.hpp"

namespace gpio_dll::diagnostics {

void WindowEventQueue::start() {
  thread_ = std::thread([this] { loop(); });
}

void WindowEventQueue::stop() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  ready_.notify_all();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool WindowEventQueue::stopped() const {
  std::lock_guard lock(mutex_);
  return stopped_;
}

void WindowEventQueue::deliver(std::shared_ptr<ModuleState> owner, std::function<void()> event) {
  {
    std::lock_guard lock(mutex_);
    if (stopped_) return;
    queue_.emplace_back(std::move(owner), std::move(event));
  }
  ready_.notify_all();
}

void WindowEventQueue::wait_idle() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [&] { return stopped_ || (queue_.empty() && !running_); });
}

void WindowEventQueue::loop() {
  for (;;) {
    std::pair<std::shared_ptr<ModuleState>, std::function<void()>> next;
    {
      std::unique_lock lock(mutex_);
      ready_.wait(lock, [&] { return stopped_ || !queue_.empty(); });
      if (stopped_) {
        queue_.clear();
        idle_.notify_all();
        return;
      }
      next = std::move(queue_.front());
      queue_.pop_front();
      running_ = true;
    }
    run_(*next.first, next.second);
    // The event and its captures too: a waiter told "idle" may expect the state released.
    next = {};
    {
      std::lock_guard lock(mutex_);
      running_ = false;
    }
    idle_.notify_all();
  }
}

}  // namespace gpio_dll::diagnostics
