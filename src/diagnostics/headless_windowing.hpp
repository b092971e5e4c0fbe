// Windowing without a display: windows are never drawn, message boxes are recorded and answered
// at once, the clipboard lives in memory, timers run on a virtual clock that the owner advances,
// and window events run at once on the calling thread (under the owner's operation lock). The
// time of day and the date are the system's, unless a virtual wall clock has been set.
#pragma once

#include <ctime>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "diagnostics/windowing_port.hpp"

namespace gpio_dll::diagnostics {

class HeadlessWindowing final : public WindowingPort {
 public:
  struct MessageBox {
    std::string text;
    std::string title;
  };

  void window_created(WindowModel&) override {}
  void window_visibility(WindowModel&, bool) override {}
  void window_unloaded(WindowModel&) override {}
  void window_changed(WindowModel&, bool) override {}
  void message_box(const std::string& text, const std::string& title) override;
  void process_pending_messages() override;
  std::string clipboard_text() override;
  void clipboard_clear() override;
  void clipboard_put(const std::string& text) override;
  TimerId start_timer(std::uint32_t interval_ms, std::function<void()> tick) override;
  void stop_timer(TimerId id) override;
  void deliver_event(std::shared_ptr<ModuleState> owner, std::function<void()> event) override;
  TimeOfDay time_of_day() override;
  std::string general_date() override;

  // The virtual clock: advancing it runs every timer tick that falls due, in order.
  void advance_ms(std::uint64_t ms);
  std::uint64_t now_ms() const;
  // A virtual wall clock in place of the system's: from now on the time of day and the date
  // start at `local` and move on with the virtual clock.
  void set_local_time(const std::tm& local);
  // The same, keeping the date the windowing shows now.
  void set_time_of_day(TimeOfDay time);

  std::vector<MessageBox> message_boxes() const;
  int pending_message_rounds() const;
  bool timer_running() const;

 private:
  struct Timer {
    std::uint32_t interval_ms;
    std::uint64_t due_ms;
    std::function<void()> tick;
  };

  mutable std::mutex mutex_;
  std::tm local_time() const;  // with the lock held

  std::uint64_t now_ms_ = 0;
  // The virtual wall clock: the local time (as seconds, counted as if it were UTC) at the
  // virtual clock's `wall_base_ms_`.
  std::optional<std::time_t> wall_base_;
  std::uint64_t wall_base_ms_ = 0;
  std::string clipboard_;
  std::vector<MessageBox> message_boxes_;
  int pending_message_rounds_ = 0;
  std::map<TimerId, Timer> timers_;
  TimerId next_timer_ = 1;
};

}  // namespace gpio_dll::diagnostics
