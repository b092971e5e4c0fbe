// The debug window's trace list: lines oldest first, a selected position, and a line limit.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace gpio_dll::diagnostics {

class TraceList {
 public:
  static constexpr std::size_t kLineLimit = 500;
  static constexpr std::size_t kLinesCut = 100;

  const std::vector<std::string>& lines() const { return lines_; }
  std::size_t count() const { return lines_.size(); }
  // -1 when nothing is selected.
  int selected() const { return selected_; }

  void add(std::string line) { lines_.push_back(std::move(line)); }
  void clear();

  // Above the limit, removes the lines at positions 1, 2, ... 100, each position counted afresh
  // after the previous removal: the lines that stood at the odd positions 1 to 199 go, and the
  // first line stays.
  void cut_to_limit();

  // Selects the last line, so that it is in view; an empty list ends with no selection.
  void scroll_to_end() { selected_ = static_cast<int>(lines_.size()) - 1; }

 private:
  std::vector<std::string> lines_;
  int selected_ = -1;
};

}  // namespace gpio_dll::diagnostics
