// What the debug window and the access gate share as models: their owner (one client thread's
// module state), their kind, and being shown or hidden through the windowing port.
#pragma once

#include <memory>

namespace gpio_dll {
class ModuleState;
}

namespace gpio_dll::diagnostics {

class WindowModel {
 public:
  enum class Kind { DebugWindow, AccessGate };

  WindowModel(ModuleState& owner, Kind kind) : owner_(owner), kind_(kind) {}
  virtual ~WindowModel() = default;
  WindowModel(const WindowModel&) = delete;
  WindowModel& operator=(const WindowModel&) = delete;

  Kind kind() const { return kind_; }
  ModuleState& owner() const { return owner_; }
  // The owner, kept alive by whoever holds the pointer (a window on the screen).
  std::shared_ptr<ModuleState> owner_shared() const;

  bool visible() const { return visible_; }
  void show();
  void hide();
  // Asks for the model to be drawn at once (after an operation or a window event).
  void refresh() { changed(true); }

 protected:
  // Tells the windowing that the model changed; `now` for changes the user must see at once.
  void changed(bool now = false);

 private:
  ModuleState& owner_;
  Kind kind_;
  bool visible_ = false;
};

}  // namespace gpio_dll::diagnostics
