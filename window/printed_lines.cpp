#include "window/printed_lines.h"

#include <algorithm>
#include <utility>

namespace zapwit {

int PrintedLines::VisibleRows(int client_height, int line_height) {
  if (client_height <= 0) return 1;
  line_height = std::max(1, line_height);
  return std::max(1, (client_height - 1) / line_height + 1);
}

PrintedLines::PrintedLines(int max_rows) { SetMaxRows(max_rows); }

std::optional<int> PrintedLines::Add(std::string text) {
  if (lines_.size() >= static_cast<std::size_t>(max_rows_)) {
    ++hidden_;
    return std::nullopt;
  }
  lines_.push_back(std::move(text));
  return static_cast<int>(lines_.size()) - 1;
}

void PrintedLines::SetMaxRows(int max_rows) {
  max_rows_ = std::max(1, max_rows);
  const auto bound = static_cast<std::size_t>(max_rows_);
  if (lines_.size() > bound) {
    hidden_ += lines_.size() - bound;
    lines_.resize(bound);
  }
  lines_.reserve(bound);
}

}  // namespace zapwit
