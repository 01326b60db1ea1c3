// A small line chart as a self-contained SVG document: axes with round tick values,
// one polyline per series with a marker at every point, a legend and a title.
#ifndef EUROCALL_TOOLS_SVGCHART_H
#define EUROCALL_TOOLS_SVGCHART_H

#include <string>
#include <vector>

namespace eurocall::tool {

struct ChartSeries {
  std::string name;
  std::string colour;      // any SVG colour
  bool dashed = false;
  std::vector<double> y;   // one per x; NaN leaves a gap in the line
};

struct Chart {
  std::string title, xLabel, yLabel;
  std::vector<double> x;
  std::vector<ChartSeries> series;
};

std::string RenderSvg(const Chart& chart);

}  // namespace eurocall::tool

#endif
