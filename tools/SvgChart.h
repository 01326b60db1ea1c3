// SPDX-License-Identifier: Apache-2.0
// A small line chart as a self-contained SVG document: a title and a subtitle wrapped
// to the width of the picture, axes with round tick values, one polyline per series
// with a marker at every point, labelled vertical markers, a legend and footnotes.
// Every text is kept inside the picture: lines are wrapped at blanks on an estimate of
// their width that errs on the wide side (the advance widths of DejaVu Sans, the widest
// of the common sans-serif faces).
#ifndef EUROCALL_TOOLS_SVGCHART_H
#define EUROCALL_TOOLS_SVGCHART_H

#include <string>
#include <vector>

namespace eurocall::tool {

struct ChartSeries {
  std::string name;        // in the legend; empty leaves the series out of it
  std::string colour;      // any SVG colour
  bool dashed = false;
  std::vector<double> y;   // one per x; NaN leaves a gap in the line
};

// A vertical line across the plot at x, labelled at its foot.
struct ChartMarker {
  double x;
  std::string label;
};

struct Chart {
  std::string title, subtitle;
  std::string xLabel, yLabel;
  std::vector<double> x;
  std::vector<ChartSeries> series;
  std::vector<ChartMarker> markers;    // drawn where they fall inside the x axis
  std::vector<std::string> footnotes;  // under the x axis, one line each
};

std::string RenderSvg(const Chart& chart);

// Width in pixels that `text` takes at `fontSize` in a sans-serif face, or a little more.
double EstimatedTextWidth(const std::string& text, double fontSize);

}  // namespace eurocall::tool

#endif
