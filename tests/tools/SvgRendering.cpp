// SPDX-License-Identifier: Apache-2.0
#include "SvgRendering.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <regex>

#include "ToolHarness.h"

#if defined(EUROCALL_HAVE_PNG)
#  include <png.h>
#endif

namespace eurocall::testing {

bool CanRender() {
#if defined(EUROCALL_HAVE_PNG)
  return std::string(EUROCALL_RSVG_CONVERT).find("NOTFOUND") == std::string::npos;
#else
  return false;
#endif
}

std::optional<Rendering> RenderBeyondTheCanvas(const std::string& svg, int margin, std::string* why) {
#if defined(EUROCALL_HAVE_PNG)
  // The root element's size and view box, widened by the margin on every side.
  const std::regex root("<svg ([^>]*)width=\"([0-9.]+)\" height=\"([0-9.]+)\" viewBox=\"0 0 [0-9.]+ [0-9.]+\"");
  std::smatch m;
  if (!std::regex_search(svg, m, root)) {
    *why = "no <svg width=... height=... viewBox=\"0 0 ...\"> in the drawing";
    return std::nullopt;
  }
  Rendering r;
  r.margin = margin;
  r.canvasWidth = int(std::ceil(std::stod(m[2])));
  r.canvasHeight = int(std::ceil(std::stod(m[3])));
  const double w = std::stod(m[2]) + 2 * margin, h = std::stod(m[3]) + 2 * margin;
  const std::string widened = m.prefix().str() + "<svg " + m[1].str() + "width=\"" + std::to_string(w) + "\" height=\"" +
                              std::to_string(h) + "\" viewBox=\"" + std::to_string(-margin) + " " +
                              std::to_string(-margin) + " " + std::to_string(w) + " " + std::to_string(h) + "\"" +
                              m.suffix().str();
  static int counter = 0;
  const std::string stem = ScratchDir() + "/render" + std::to_string(counter++);
  WriteScratchFile(stem.substr(ScratchDir().size() + 1) + ".svg", widened);
  const std::string command = std::string(EUROCALL_RSVG_CONVERT) + " -f png -o '" + stem + ".png' '" + stem + ".svg' 2>'" +
                              stem + ".log'";
  if (std::system(command.c_str()) != 0) {
    *why = "rsvg-convert failed: " + ReadFile(stem + ".log");
    return std::nullopt;
  }
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, (stem + ".png").c_str())) {
    *why = std::string("cannot read the PNG: ") + image.message;
    return std::nullopt;
  }
  image.format = PNG_FORMAT_RGBA;
  r.width = int(image.width);
  r.height = int(image.height);
  r.rgba.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, r.rgba.data(), 0, nullptr)) {
    *why = std::string("cannot decode the PNG: ") + image.message;
    return std::nullopt;
  }
  return r;
#else
  (void)svg;
  (void)margin;
  *why = "built without libpng";
  return std::nullopt;
#endif
}

namespace {

template <class Marked>
InkBox BoxOf(int width, int height, Marked marked) {
  InkBox box;
  box.left = width;
  box.top = height;
  box.right = box.bottom = -1;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (!marked(x, y)) continue;
      box.left = std::min(box.left, x);
      box.right = std::max(box.right, x);
      box.top = std::min(box.top, y);
      box.bottom = std::max(box.bottom, y);
    }
  }
  if (box.right < 0) box = InkBox{};
  return box;
}

}  // namespace

InkBox Ink(const Rendering& r) {
  return BoxOf(r.width, r.height, [&](int x, int y) { return r.Alpha(x, y) != 0; });
}

InkBox Difference(const Rendering& a, const Rendering& b) {
  if (a.width != b.width || a.height != b.height) return InkBox{0, 0, a.width - 1, a.height - 1};
  return BoxOf(a.width, a.height, [&](int x, int y) {
    const std::size_t at = (std::size_t(y) * std::size_t(a.width) + std::size_t(x)) * 4;
    return std::equal(a.rgba.begin() + long(at), a.rgba.begin() + long(at) + 4, b.rgba.begin() + long(at)) == false;
  });
}

}  // namespace eurocall::testing
