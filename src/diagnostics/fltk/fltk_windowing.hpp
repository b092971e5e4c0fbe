// The FLTK front end of the window models. One GUI thread, started on first need, owns every
// widget; client threads never touch widgets: they post work to it and, for a message box, wait
// for its result. Window events go to an event thread that runs them under the owner's operation
// lock. No FLTK or X11 header is included here. It reaches the window models only through the
// library's host table.
#pragma once

#include <memory>
#include <string>

#include "diagnostics/toolkit_module.hpp"

namespace gpio_dll::diagnostics {

class FltkWindowing final : public ToolkitFrontEnd {
 public:
  // The process's one FLTK front end; null when no display can be opened.
  static std::shared_ptr<FltkWindowing> create(const ToolkitHost& host);
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

  void click(const WindowModel& window, const std::string& control) override;
  void type(const WindowModel& window, const std::string& control,
            const std::string& text) override;
  std::string text_of(const WindowModel& window, const std::string& control) override;
  bool shown_on_screen(const WindowModel& window) override;
  unsigned long x_window(const WindowModel& window) override;
  bool close_message_box(int timeout_ms = 5000) override;
  void settle() override;
  bool display_alive() const override;

  const ToolkitHost& host() const { return host_; }

  class Impl;

 private:
  explicit FltkWindowing(const ToolkitHost& host);
  const ToolkitHost& host_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace gpio_dll::diagnostics
