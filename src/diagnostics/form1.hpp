// The debug window "GPIO_DLL_Debug_module" as a model: the controls that the transport, module
// identification and the EEPROM transfers write to, and the window's start-up. One per client
// thread, created hidden at its first reference; lines reach the trace list only while shown.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "diagnostics/trace_list.hpp"

namespace gpio_dll {
class ModuleState;
}

namespace gpio_dll::diagnostics {

struct ProgressBar {
  int min = 0;
  int max = 100;
  int value = 0;
};

class Form1 {
 public:
  static constexpr const char* kCaption = "GPIO_DLL_Debug_module";

  explicit Form1(ModuleState& owner);

  // Runs once, right after creation: empties the identification fields and the result line,
  // closes the access gate again and identifies the module.
  void startup();

  bool visible() const { return visible_; }
  void show() { visible_ = true; }
  void hide() { visible_ = false; }

  // Lets the thread handle its pending window messages once (repaints, window events). A
  // headless window has none.
  void process_pending_messages() {}
  // Redraws the window at once (the progress bar during EEPROM transfers) and tells the repaint
  // observer; headless there is nothing else to draw.
  void repaint() {
    if (repaint_observer_) repaint_observer_(*this);
  }
  void set_repaint_observer(std::function<void(const Form1&)> observer) {
    repaint_observer_ = std::move(observer);
  }

  // Adds a trace line (the caller checks that the window is shown) and tells the observer.
  void add_trace_line(std::string line);
  // Called with every line added to the trace list.
  void set_trace_observer(std::function<void(const std::string&)> observer) {
    trace_observer_ = std::move(observer);
  }

  TraceList ListBox1;                                                    // trace list
  std::array<std::string, 4> Text3{"Text3", "Text3", "Text3", "Text3"};  // status, VID, PID, FW
  std::string Text2 = "Text2\r\n";                                       // received-data field
  std::string Text16;                                                    // result line
  ProgressBar ProgressBar1;                                              // module EEPROM progress

 private:
  ModuleState& owner_;
  bool visible_ = false;
  std::function<void(const std::string&)> trace_observer_;
  std::function<void(const Form1&)> repaint_observer_;
};

}  // namespace gpio_dll::diagnostics
