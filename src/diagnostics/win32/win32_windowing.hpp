// The Win32 front end of the window models. One GUI thread, started on first need, owns every
// window and runs their message loop; client threads never touch a window: they post work to it
// and, for a message box, wait for its result. Window events (clicks, keys, timer ticks) go to an
// event thread that runs them under the owner's operation lock. No Windows header is included
// here.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "diagnostics/windowing_port.hpp"

namespace gpio_dll::diagnostics {

class Win32Windowing final : public WindowingPort {
 public:
  // The process's one Win32 front end; null where no window can be shown: a window station that
  // is not interactive (a service), or a desktop where the GUI thread cannot make a window.
  static std::shared_ptr<Win32Windowing> create();
  ~Win32Windowing() override;

  void window_created(WindowModel& window) override;
  void window_visibility(WindowModel& window, bool shown) override;
  void window_unloaded(WindowModel& window) override;
  void window_changed(WindowModel& window, bool now) override;
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

  // For tests driving the windows with window messages. Handles are HWNDs; null when the model
  // has no window (or no such control) on the screen.
  void* window_handle(const WindowModel& window);
  void* control_handle(const WindowModel& window, const std::string& control);
  // Waits until a message box is on the screen, then closes it as its OK button would; false
  // if none came within `timeout_ms`.
  bool close_message_box(int timeout_ms = 5000);
  // The repeating timers running on the GUI thread.
  std::size_t running_timers();
  // Waits until the GUI thread and the event thread have nothing left to do.
  void settle();

  class Impl;

 private:
  Win32Windowing();
  Impl* impl_ = nullptr;  // never freed: the GUI thread may outlive every owner of the port
};

}  // namespace gpio_dll::diagnostics
