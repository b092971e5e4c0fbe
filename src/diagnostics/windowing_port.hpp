// What only a window toolkit can do for the window models: show and hide windows, message boxes,
// processing pending window messages, repainting, the clipboard, a repeating timer and the time
// of day. Three implementations: headless (tests, machines without a display), FLTK, and Win32
// on Windows.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace gpio_dll {
class ModuleState;
}

namespace gpio_dll::diagnostics {

class WindowModel;

struct TimeOfDay {
  int hour = 0;
  int minute = 0;
  int second = 0;
};

class WindowingPort {
 public:
  using TimerId = int;

  virtual ~WindowingPort() = default;

  // A window model came into being, was shown or hidden, or is going away.
  virtual void window_created(WindowModel& window) = 0;
  virtual void window_visibility(WindowModel& window, bool shown) = 0;
  virtual void window_unloaded(WindowModel& window) = 0;
  // The model changed; `now` asks for it to be drawn at once rather than soon.
  virtual void window_changed(WindowModel& window, bool now) = 0;

  // A message box with one OK button; returns when it has been closed.
  virtual void message_box(const std::string& text, const std::string& title) = 0;
  // Lets pending window messages be handled once (here: drawing).
  virtual void process_pending_messages() = 0;

  virtual std::string clipboard_text() = 0;
  virtual void clipboard_clear() = 0;
  virtual void clipboard_put(const std::string& text) = 0;

  // A timer that calls `tick` every `interval_ms` until stopped. Ticks are window events: they
  // reach the model through its owner's event queue.
  virtual TimerId start_timer(std::uint32_t interval_ms, std::function<void()> tick) = 0;
  virtual void stop_timer(TimerId id) = 0;

  // Runs a window event (a click, a key, a timer tick) against its owner's models: under the
  // owner's operation lock, so never inside an operation the owning thread is running.
  virtual void deliver_event(std::shared_ptr<ModuleState> owner, std::function<void()> event) = 0;

  virtual TimeOfDay time_of_day() = 0;
  // The current date and time in the platform's general date format.
  virtual std::string general_date() = 0;
};

// The windowing the component uses: the build's toolkit front end (Win32 on Windows, FLTK
// elsewhere) where windows can be shown, headless otherwise. Tests put a headless one in place.
WindowingPort& windowing();
void set_windowing(std::shared_ptr<WindowingPort> port);
// Why the toolkit front end gave no windowing (the windows then run headless); empty when it
// gave one or a windowing was put in place.
std::string headless_reason();

}  // namespace gpio_dll::diagnostics
