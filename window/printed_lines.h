#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zapwit {

// The lines the game prints on the window's surface, top down. The window
// never scrolls and cannot grow, so only the lines it can show are kept;
// the rest are counted. However long a run, memory stays bounded.
class PrintedLines {
 public:
  // The rows of `line_height` pixels that a client area `client_height`
  // pixels tall shows, counting one cut by the bottom edge; at least 1.
  static int VisibleRows(int client_height, int line_height);

  explicit PrintedLines(int max_rows = 1);

  // Keeps `text` if it falls inside the window. Returns its row (0 is the
  // top), or nothing when it is below the bottom edge and only counted.
  std::optional<int> Add(std::string text);

  // A new bound, for a new font or DPI. Kept lines past it are dropped and
  // counted as hidden; later lines fill up to it.
  void SetMaxRows(int max_rows);

  const std::vector<std::string>& Lines() const { return lines_; }
  std::uint64_t Hidden() const { return hidden_; }
  int MaxRows() const { return max_rows_; }

 private:
  std::vector<std::string> lines_;
  std::uint64_t hidden_ = 0;
  int max_rows_ = 1;
};

}  // namespace zapwit
