#include "diagnostics/window_snapshot.hpp"

namespace gpio_dll::diagnostics {

Snapshot snapshot_of(const WindowModel& window) {
  if (window.kind() == WindowModel::Kind::DebugWindow) {
    const auto& w = static_cast<const Form1&>(window);
    Form1Snapshot s;
    s.text3 = w.Text3;
    s.combo = w.Combo1;
    s.check = w.Check1;
    s.continuous = w.cmdContinuous;
    s.text1 = w.Text1;
    s.text2 = w.Text2;
    s.text16 = w.Text16;
    s.lines = w.ListBox1.lines();
    s.selected = w.ListBox1.selected();
    s.progress = w.ProgressBar1;
    return s;
  }
  const auto& g = static_cast<const LoginForm&>(window);
  return GateSnapshot{g.txtUserName, g.txtPassword, g.response_focused};
}

}  // namespace gpio_dll::diagnostics
