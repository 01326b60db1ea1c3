// SPDX-License-Identifier: Apache-2.0
// A one-line progress bar on standard error, redrawn in place, that fits the terminal:
//
//   42% [=========------            ] 120000 rows, read 45%, 0:03 left, 35000 rows/s
//
// '=' is done, '-' read and not done yet. Where the terminal is narrow the bar shrinks,
// then goes, then the least useful figures go, from the right; the line never reaches
// the last column, so it never wraps. Where the size of the whole is unknown (a pipe)
// there is no percentage and no bar, only counts.
#ifndef EUROCALL_TOOLS_PROGRESSBAR_H
#define EUROCALL_TOOLS_PROGRESSBAR_H

#include <chrono>
#include <cstddef>
#include <string>

namespace eurocall::tool {

// The line for `columns` columns; fractions are NaN where the whole is unknown.
std::string ProgressLine(int columns, std::size_t rowsDone, std::size_t rowsRead, double doneFraction,
                         double readFraction, double seconds);

class ProgressBar {
 public:
  // Draws nothing unless `enabled`; the first time half a second after construction,
  // so that a short job shows none.
  explicit ProgressBar(bool enabled);
  ~ProgressBar() { Clear(); }

  void Update(std::size_t rowsDone, std::size_t rowsRead, double doneFraction, double readFraction);
  // Erases the line, before a message goes to standard error; the next Update redraws it.
  void Clear();

 private:
  using Clock = std::chrono::steady_clock;
  bool enabled_;
  Clock::time_point start_, drawn_;
  std::size_t shown_ = 0;  // length of the line on the terminal
};

}  // namespace eurocall::tool

#endif
