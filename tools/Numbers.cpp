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

bool ParseDouble(std::string_view text, double* out) {
  std::string_view s = TrimBlanks(text);
  // from_chars takes a '-' but no '+'; "+-1" stays an error.
  if (!s.empty() && s.front() == '+') {
    s.remove_prefix(1);
    if (!s.empty() && s.front() == '-') return false;
  }
  if (s.empty()) return false;
  double v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
  // An out-of-range literal (1e999) is an error rather than a silent infinity.
  if (ec != std::errc() || end != s.data() + s.size()) return false;
  *out = v;
  return true;
}

}  // namespace eurocall::tool
