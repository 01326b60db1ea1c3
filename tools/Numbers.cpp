// SPDX-License-Identifier: Apache-2.0
#include "Numbers.h"

#include <charconv>
#include <system_error>

namespace eurocall::tool {

std::string FormatDouble(double v) {
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
  return ec == std::errc() ? std::string(buffer, end) : std::string("?");
}

std::string_view TrimBlanks(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

NumberText ParseDouble(std::string_view text, double* out) {
  std::string_view s = TrimBlanks(text);
  if (s.empty()) return NumberText::kEmpty;
  // from_chars takes a '-' but no '+'; "+-1" stays an error.
  if (s.front() == '+') {
    s.remove_prefix(1);
    if (s.empty() || s.front() == '-') return NumberText::kNotANumber;
  }
  double v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
  if (end != s.data() + s.size()) return NumberText::kNotANumber;
  // 1e999 or 1e-999: an error rather than a silent infinity or zero.
  if (ec == std::errc::result_out_of_range) return NumberText::kOutOfRange;
  if (ec != std::errc()) return NumberText::kNotANumber;
  *out = v;
  return NumberText::kNumber;
}

std::string NumberProblem(std::string_view text, NumberText status) {
  switch (status) {
    case NumberText::kEmpty: return "empty field";
    case NumberText::kOutOfRange: return "'" + std::string(text) + "' is out of range for a double";
    default: return "'" + std::string(text) + "' is not a number";
  }
}

}  // namespace eurocall::tool
