// The design of the two windows: every control with its kind, position and size in twips, and
// caption or initial content. Front ends draw from it (15 twips to a pixel).
#pragma once

#include <span>
#include <string_view>

namespace gpio_dll::diagnostics {

enum class ControlKind {
  Label,
  TextBox,
  MultiLineTextBox,
  MaskedTextBox,
  Button,
  ComboBox,
  CheckBox,
  List,
  ProgressBar
};

struct ControlLayout {
  std::string_view name;  // "Text3(1)" for element 1 of a control array
  ControlKind kind;
  int left;
  int top;
  int width;
  int height;
  std::string_view caption;  // or initial content
};

struct WindowLayout {
  std::string_view caption;
  int width;  // client area, twips
  int height;
  std::span<const ControlLayout> controls;

  const ControlLayout* find(std::string_view name) const;
};

// Twips to pixels at 15 twips per pixel.
constexpr int px(int twips) {
  return twips / 15;
}

const WindowLayout& form1_layout();
const WindowLayout& login_form_layout();

}  // namespace gpio_dll::diagnostics
