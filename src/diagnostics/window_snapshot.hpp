// Plain copies of the window models (snapshots) that carry their content from the owning thread
// to a toolkit front end's GUI thread.
#pragma once

#include <array>
#include <string>
#include <variant>
#include <vector>

#include "diagnostics/form1.hpp"
#include "diagnostics/login_form.hpp"

namespace gpio_dll::diagnostics {

struct Form1Snapshot {
  std::array<std::string, 4> text3;
  std::array<int, Form1::kPickers> combo{};
  std::array<bool, Form1::kPickers> check{};
  std::string continuous;
  std::string text1;
  std::string text2;
  std::string text16;
  std::vector<std::string> lines;
  int selected = -1;
  ProgressBar progress;
};

struct GateSnapshot {
  std::string challenge;
  std::string response;
  bool focus_response = false;
};

using Snapshot = std::variant<Form1Snapshot, GateSnapshot>;

// Taken on the thread that owns the model, under its operation lock.
Snapshot snapshot_of(const WindowModel& window);

}  // namespace gpio_dll::diagnostics
