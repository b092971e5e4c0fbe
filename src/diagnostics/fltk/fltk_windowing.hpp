// The FLTK front end of the window models. One GUI thread, started on first need, owns every
// widget; client threads never touch widgets: they post work to it and, for a message box, wait
// for its result. Window events go to an event thread that runs them under the owner's operation
// lock. No FLTK or X11 header is included here.
#pragma once

#include <memory>
#include <string>

#include "diagnostics/windowing_port.hpp"

namespace gpio_dll::diagnostics {

class FltkWindowing final : public WindowingPort {
 public:
  // The process's one FLTK front end; null when no display can be opened.
  static std::shared_ptr<FltkWindowing> create();
  ~FltkWindowing() override;

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

  // For tests driving the front end: they run on the GUI thread and wait for it.
  void click(const WindowModel& window, const std::string& control);
  void type(const WindowModel& window, const std::string& control, const std::string& text);
  std::string text_of(const WindowModel& window, const std::string& control);
  bool shown_on_screen(const WindowModel& window);
  unsigned long x_window(const WindowModel& window);
  // Waits until a message box is on the screen, then closes it as its OK button would; false
  // if none came within `timeout_ms`.
  bool close_message_box(int timeout_ms = 5000);
  // Waits until the GUI thread and the event thread have nothing left to do.
  void settle();
  // False once the display went away (the windows then stay off screen).
  bool display_alive() const;

  class Impl;

 private:
  FltkWindowing();
  std::unique_ptr<Impl> impl_;
};

}  // namespace gpio_dll::diagnostics
