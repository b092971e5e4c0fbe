// The windows that belong to one client thread, as the layers below the diagnostics see them.
// The transport traces into the debug window and the operations fill its fields, yet neither
// knows the window itself: they write through `DebugWindowSink`. The diagnostics register the
// factory that makes the real window; until they have, a thread gets a window that is never
// shown and keeps nothing.
#pragma once

#include <memory>
#include <string>

namespace gpio_dll {

class ModuleState;

// Anything a module state owns as one of its thread's windows.
class ThreadWindow {
 public:
  virtual ~ThreadWindow() = default;
};

// What the layers below the diagnostics write into the thread's debug window.
class DebugWindowSink : public ThreadWindow {
 public:
  // Runs once, right after creation, with the window already reachable from its owner.
  virtual void startup() = 0;

  virtual bool shown() const = 0;
  // Whether trace lines are wanted: the window is shown, or a program listens to its trace.
  virtual bool tracing() const { return shown(); }
  // Trace list: a line is kept only while the window is shown; the list keeps to its limit.
  // Programs that listen get it either way.
  virtual void add_trace_line(std::string line) = 0;
  virtual void cut_trace_to_limit() = 0;
  virtual void scroll_trace_to_end() = 0;
  // Pending window messages: the window is drawn as it stands.
  virtual void process_pending_messages() = 0;
  virtual void repaint() = 0;

  // The received-data field, as text the transport appends to.
  virtual std::string& received_data() = 0;
  // Identification fields: 0 status, 1 vendor, 2 product, 3 firmware version.
  virtual void set_identification_field(int field, std::string text) = 0;
  virtual void set_result_line(std::string text) = 0;
  // The module EEPROM progress bar.
  virtual void set_progress_range(int min, int max) = 0;
  virtual void set_progress(int value) = 0;
};

// Makes the thread's debug window, hidden; its start-up is run by the caller.
using DebugWindowFactory = std::unique_ptr<DebugWindowSink> (*)(ModuleState& owner);
void register_debug_window_factory(DebugWindowFactory factory);

}  // namespace gpio_dll
