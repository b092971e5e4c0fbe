#include "diagnostics/window_layout.hpp"

namespace gpio_dll::diagnostics {

namespace {

using K = ControlKind;

constexpr ControlLayout kForm1Controls[] = {
    {"Label1(0)", K::Label, 120, 120, 975, 255, "GPIO Detect"},
    {"Label1(1)", K::Label, 120, 360, 855, 255, "Vendor  ID"},
    {"Label1(2)", K::Label, 120, 600, 855, 255, "Product ID"},
    {"Label1(3)", K::Label, 120, 840, 855, 255, "FW Version"},
    {"Text3(0)", K::TextBox, 1200, 120, 975, 285, "Text3"},
    {"Text3(1)", K::TextBox, 1200, 360, 975, 285, "Text3"},
    {"Text3(2)", K::TextBox, 1200, 600, 975, 285, "Text3"},
    {"Text3(3)", K::TextBox, 1200, 840, 975, 285, "Text3"},
    {"cmdContinuous", K::Button, 2520, 120, 975, 375, "Continuous"},
    {"cmdOnce", K::Button, 2520, 840, 975, 372, "Once"},
    {"Command19", K::Button, 2520, 1440, 975, 375, "00 =>"},
    {"Combo1(0)", K::ComboBox, 3600, 120, 615, 315, ""},
    {"Combo1(1)", K::ComboBox, 4200, 120, 615, 315, ""},
    {"Combo1(2)", K::ComboBox, 4800, 120, 615, 315, ""},
    {"Combo1(3)", K::ComboBox, 5400, 120, 615, 315, ""},
    {"Combo1(4)", K::ComboBox, 6000, 120, 615, 315, ""},
    {"Check1(0)", K::CheckBox, 3720, 480, 255, 255, "Check1"},
    {"Check1(1)", K::CheckBox, 4320, 480, 255, 255, "Check1"},
    {"Check1(2)", K::CheckBox, 4920, 480, 255, 255, "Check1"},
    {"Check1(3)", K::CheckBox, 5520, 480, 255, 255, "Check1"},
    {"Check1(4)", K::CheckBox, 6120, 480, 255, 255, "Check1"},
    {"Text1", K::MultiLineTextBox, 3600, 840, 3135, 975, "Text1"},
    {"Text2", K::MultiLineTextBox, 3600, 1920, 3135, 975, "Text2"},
    {"ProgressBar1", K::ProgressBar, 120, 3000, 6615, 135, ""},
    {"ListBox1", K::List, 120, 3120, 6615, 5295, ""},
    {"Text16", K::TextBox, 120, 8520, 6615, 285, ""},
};

constexpr ControlLayout kLoginControls[] = {
    {"lblLabels(0)", K::Label, 105, 150, 600, 270, "Random"},
    {"txtUserName", K::TextBox, 810, 135, 2445, 345, ""},
    {"lblLabels(1)", K::Label, 105, 540, 600, 270, "Digest"},
    {"txtPassword", K::MaskedTextBox, 810, 525, 2445, 345, ""},
    {"cmdOK", K::Button, 855, 1020, 1380, 390, "Authenticate"},
    {"cmdCancel", K::Button, 2340, 1020, 900, 390, "Cancel"},
};

}  // namespace

const ControlLayout* WindowLayout::find(std::string_view name) const {
  for (const auto& c : controls)
    if (c.name == name) return &c;
  return nullptr;
}

const WindowLayout& form1_layout() {
  static const WindowLayout layout{"GPIO_DLL_Debug_module", 6870, 8895, kForm1Controls};
  return layout;
}

const WindowLayout& login_form_layout() {
  static const WindowLayout layout{"Check Access", 3360, 1545, kLoginControls};
  return layout;
}

}  // namespace gpio_dll::diagnostics
