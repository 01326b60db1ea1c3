// SPDX-License-Identifier: Apache-2.0
#include "Names.h"

#include <algorithm>
#include <cstddef>

namespace eurocall::tool {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Levenshtein distance, one row at a time.
std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (Lower(a[i - 1]) == Lower(b[j - 1]) ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::optional<std::string> ClosestMatch(std::string_view typed, const std::vector<std::string>& candidates) {
  const std::size_t allowed = 1 + (typed.size() > 5 ? (typed.size() - 5 + 2) / 3 : 0);
  std::optional<std::string> best;
  std::size_t bestDistance = allowed + 1;
  for (const std::string& c : candidates) {
    const std::size_t d = EditDistance(typed, c);
    if (d < bestDistance) best = c, bestDistance = d;
  }
  return best;
}

std::string DidYouMean(std::string_view typed, const std::vector<std::string>& candidates) {
  const auto match = ClosestMatch(typed, candidates);
  return match ? "; did you mean '" + *match + "'?" : "";
}

}  // namespace eurocall::tool
