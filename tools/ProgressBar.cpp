// SPDX-License-Identifier: Apache-2.0
#include "ProgressBar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "Terminal.h"

namespace eurocall::tool {

namespace {

constexpr double kFirstDraw = 0.5, kRedraw = 0.1;  // seconds
constexpr std::size_t kMinBar = 12, kMaxBar = 42;  // columns, brackets included

std::string Percent(double fraction) { return std::to_string(int(std::floor(100 * fraction))) + "%"; }

std::string Bar(std::size_t width, double done, double read) {
  const std::size_t inside = width - 2;
  const auto filled = [&](double f) { return std::min(inside, std::size_t(double(inside) * std::clamp(f, 0.0, 1.0))); };
  const std::size_t d = filled(done), r = std::max(d, filled(read));
  return "[" + std::string(d, '=') + std::string(r - d, '-') + std::string(inside - r, ' ') + "]";
}

}  // namespace

std::string ProgressLine(int columns, std::size_t rowsDone, std::size_t rowsRead, double doneFraction,
                         double readFraction, double seconds) {
  const std::size_t width = std::size_t(std::max(columns - 1, 1));
  const bool whole = std::isfinite(doneFraction);
  const std::string head = whole ? Percent(doneFraction) : "";
  // In the order they are kept as the width shrinks.
  std::vector<std::string> figures = {std::to_string(rowsDone) + " rows"};
  if (std::isfinite(readFraction)) {
    figures.push_back("read " + Percent(readFraction));
  } else if (rowsRead > rowsDone) {
    figures.push_back("read " + std::to_string(rowsRead));
  }
  if (whole && doneFraction > 0 && seconds > 0) {
    const long left = long(seconds * (1 - doneFraction) / doneFraction + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld left", left / 60, left % 60);
    figures.push_back(text);
  }
  if (seconds > 0) figures.push_back(std::to_string(long(double(rowsDone) / seconds)) + " rows/s");

  auto joined = [&] {
    std::string s;
    for (const std::string& f : figures) s += (s.empty() ? "" : ", ") + f;
    return s;
  };
  std::string tail = joined();
  // The bar comes before every figure but the first: room for its least width is kept
  // while figures go, and it goes only where the first figure alone needs the room.
  const std::size_t headSpace = head.empty() ? 0 : head.size() + 1;
  const std::size_t barSpace = whole ? kMinBar + 1 : 0;
  while (figures.size() > 1 && headSpace + barSpace + tail.size() > width) {
    figures.pop_back();
    tail = joined();
  }
  std::string line = head;
  const std::size_t room = width > headSpace + tail.size() + 1 ? width - headSpace - tail.size() - 1 : 0;
  if (whole && room >= kMinBar) line += " " + Bar(std::min(room, kMaxBar), doneFraction, readFraction);
  line += (line.empty() ? "" : " ") + tail;
  if (line.size() > width) line.resize(width);
  return line;
}

ProgressBar::ProgressBar(bool enabled) : enabled_(enabled), start_(Clock::now()), drawn_(start_) {}

void ProgressBar::Update(std::size_t rowsDone, std::size_t rowsRead, double doneFraction, double readFraction) {
  if (!enabled_) return;
  const Clock::time_point now = Clock::now();
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  if (elapsed < kFirstDraw || std::chrono::duration<double>(now - drawn_).count() < kRedraw) return;
  drawn_ = now;
  const int columns = TerminalColumns();
  const std::string line = ProgressLine(columns, rowsDone, rowsRead, doneFraction, readFraction, elapsed);
  // Blanks over what is left of the previous line, short of the last column.
  const std::size_t reach = std::min(shown_, std::size_t(std::max(columns - 1, 1)));
  const std::size_t pad = reach > line.size() ? reach - line.size() : 0;
  std::fprintf(stderr, "\r%s%*s", line.c_str(), int(pad), "");
  std::fflush(stderr);
  shown_ = line.size() + pad;
}

void ProgressBar::Clear() {
  if (shown_ == 0) return;
  std::fprintf(stderr, "\r%*s\r", int(shown_), "");
  std::fflush(stderr);
  shown_ = 0;
}

}  // namespace eurocall::tool
