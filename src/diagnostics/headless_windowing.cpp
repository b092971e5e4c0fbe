#include "diagnostics/headless_windowing.hpp"

#include "base/module_state.hpp"
#include "diagnostics/wall_clock.hpp"

namespace gpio_dll::diagnostics {

void HeadlessWindowing::message_box(const std::string& text, const std::string& title) {
  std::lock_guard lock(mutex_);
  message_boxes_.push_back({text, title});
}

void HeadlessWindowing::process_pending_messages() {
  std::lock_guard lock(mutex_);
  ++pending_message_rounds_;
}

std::string HeadlessWindowing::clipboard_text() {
  std::lock_guard lock(mutex_);
  return clipboard_;
}

void HeadlessWindowing::clipboard_clear() {
  std::lock_guard lock(mutex_);
  clipboard_.clear();
}

void HeadlessWindowing::clipboard_put(const std::string& text) {
  std::lock_guard lock(mutex_);
  clipboard_ = text;
}

WindowingPort::TimerId HeadlessWindowing::start_timer(std::uint32_t interval_ms,
                                                      std::function<void()> tick) {
  std::lock_guard lock(mutex_);
  const TimerId id = next_timer_++;
  timers_[id] = Timer{interval_ms, now_ms_ + interval_ms, std::move(tick)};
  return id;
}

void HeadlessWindowing::stop_timer(TimerId id) {
  std::lock_guard lock(mutex_);
  timers_.erase(id);
}

void HeadlessWindowing::deliver_event(std::shared_ptr<ModuleState> owner,
                                      std::function<void()> event) {
  std::lock_guard lock(owner->operation_mutex);
  event();
}

void HeadlessWindowing::advance_ms(std::uint64_t ms) {
  std::unique_lock lock(mutex_);
  const std::uint64_t end = now_ms_ + ms;
  for (;;) {
    // The next tick due by the end, earliest first; ticks run without the lock held, since they
    // may start and stop timers.
    auto next = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it)
      if (it->second.due_ms <= end &&
          (next == timers_.end() || it->second.due_ms < next->second.due_ms))
        next = it;
    if (next == timers_.end()) break;
    now_ms_ = next->second.due_ms;
    next->second.due_ms += next->second.interval_ms;
    auto tick = next->second.tick;
    lock.unlock();
    tick();
    lock.lock();
  }
  now_ms_ = end;
}

std::uint64_t HeadlessWindowing::now_ms() const {
  std::lock_guard lock(mutex_);
  return now_ms_;
}

void HeadlessWindowing::set_local_time(const std::tm& local) {
  std::lock_guard lock(mutex_);
  wall_base_ = seconds_of_utc(local);
  wall_base_ms_ = now_ms_;
}

void HeadlessWindowing::set_time_of_day(TimeOfDay time) {
  std::tm local;
  {
    std::lock_guard lock(mutex_);
    local = local_time();
  }
  local.tm_hour = time.hour;
  local.tm_min = time.minute;
  local.tm_sec = time.second;
  set_local_time(local);
}

std::tm HeadlessWindowing::local_time() const {
  if (!wall_base_) return local_now();
  const auto elapsed = static_cast<std::time_t>((now_ms_ - wall_base_ms_) / 1000);
  const std::time_t seconds = *wall_base_ + elapsed;
  return utc_of_seconds(seconds);
}

TimeOfDay HeadlessWindowing::time_of_day() {
  std::lock_guard lock(mutex_);
  return time_of_day_of(local_time());
}

std::string HeadlessWindowing::general_date() {
  std::lock_guard lock(mutex_);
  return general_date_of(local_time());
}

std::vector<HeadlessWindowing::MessageBox> HeadlessWindowing::message_boxes() const {
  std::lock_guard lock(mutex_);
  return message_boxes_;
}

int HeadlessWindowing::pending_message_rounds() const {
  std::lock_guard lock(mutex_);
  return pending_message_rounds_;
}

bool HeadlessWindowing::timer_running() const {
  std::lock_guard lock(mutex_);
  return !timers_.empty();
}

}  // namespace gpio_dll::diagnostics
