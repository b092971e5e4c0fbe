#include "diagnostics/trace_list.hpp"

namespace gpio_dll::diagnostics {

void TraceList::clear() {
  lines_.clear();
  selected_ = -1;
}

void TraceList::cut_to_limit() {
  if (lines_.size() <= kLineLimit) return;
  // Keep position 0 and the even positions up to 200; drop the odd ones up to 199.
  std::size_t kept = 1;
  for (std::size_t i = 1; i < lines_.size(); ++i) {
    const bool removed = i % 2 == 1 && i < 2 * kLinesCut;
    if (!removed) lines_[kept++] = std::move(lines_[i]);
  }
  lines_.resize(kept);
  if (selected_ >= static_cast<int>(lines_.size())) selected_ = static_cast<int>(lines_.size()) - 1;
}

}  // namespace gpio_dll::diagnostics
