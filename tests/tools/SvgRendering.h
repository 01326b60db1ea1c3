// SPDX-License-Identifier: Apache-2.0
// An SVG drawing rendered to pixels by an independent renderer (rsvg-convert, from
// librsvg), so that a test sees what a viewer shows rather than what the markup says.
#ifndef EUROCALL_TESTS_TOOLS_SVGRENDERING_H
#define EUROCALL_TESTS_TOOLS_SVGRENDERING_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace eurocall::testing {

// Pixels that are not fully transparent, as a box; empty if there are none.
struct InkBox {
  int left = 0, top = 0, right = -1, bottom = -1;  // inclusive
  bool empty() const { return right < left; }
};

struct Rendering {
  int width = 0, height = 0;     // of the whole picture, margin included
  int canvasWidth = 0, canvasHeight = 0;
  int margin = 0;                // the canvas is at (margin, margin)
  std::vector<std::uint8_t> rgba;
  std::uint8_t Alpha(int x, int y) const { return rgba[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4 + 3]; }
};

// Whether the renderer and a PNG reader were found when the tests were built.
bool CanRender();

// `svg` rendered at one pixel per unit on a transparent picture that reaches `margin`
// pixels beyond the document's own canvas on every side, so that anything drawn
// outside the canvas (which a viewer would clip) shows. nullopt, with *why, on failure.
std::optional<Rendering> RenderBeyondTheCanvas(const std::string& svg, int margin, std::string* why);

// The box of every pixel that is not fully transparent; of every pixel in which two
// renderings of the same size differ.
InkBox Ink(const Rendering& r);
InkBox Difference(const Rendering& a, const Rendering& b);

}  // namespace eurocall::testing

#endif
