// SPDX-License-Identifier: Apache-2.0
// Names as people type them: compared without regard to case, and a typo answered with
// the name it most likely meant.
#ifndef EUROCALL_TOOLS_NAMES_H
#define EUROCALL_TOOLS_NAMES_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace eurocall::tool {

// ASCII letters compared without case; every other byte as it is.
bool SameIgnoringCase(std::string_view a, std::string_view b);

// The candidate closest to `typed` by edit distance (insertions, deletions and
// substitutions, case ignored), if it is close enough to be what was meant: at most one
// edit for a word of up to five letters, one more for every three letters beyond.
// Ties go to the earlier candidate.
std::optional<std::string> ClosestMatch(std::string_view typed, const std::vector<std::string>& candidates);

// "; did you mean 'bs-call'?" for the closest match, or "" if none is close.
std::string DidYouMean(std::string_view typed, const std::vector<std::string>& candidates);

}  // namespace eurocall::tool

#endif
