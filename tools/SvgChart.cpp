#include "SvgChart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace eurocall::tool {

namespace {

constexpr double kWidth = 720, kHeight = 450;
constexpr double kLeft = 72, kRight = 24, kTop = 48, kBottom = 64;

std::string Num(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", v);
  return buffer;
}

// Tick labels: as few digits as the tick step needs.
std::string Label(double v, double step) {
  const int decimals = std::max(0, -int(std::floor(std::log10(step) + 1e-9)));
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, std::fabs(v) < step * 1e-6 ? 0.0 : v);
  return buffer;
}

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// An axis from lo to hi, widened to whole multiples of a 1-2-5 step giving about five ticks.
struct Axis {
  double lo, hi, step;
};

Axis NiceAxis(double lo, double hi) {
  if (!(hi > lo)) {
    const double pad = lo == 0 ? 1 : std::fabs(lo) * 0.05;
    lo -= pad;
    hi += pad;
  }
  const double raw = (hi - lo) / 5;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  double step = magnitude;
  for (double f : {1.0, 2.0, 5.0, 10.0}) {
    step = f * magnitude;
    if (step >= raw) break;
  }
  return {std::floor(lo / step) * step, std::ceil(hi / step) * step, step};
}

}  // namespace

std::string RenderSvg(const Chart& chart) {
  double xlo = std::numeric_limits<double>::infinity(), xhi = -xlo, ylo = xlo, yhi = -xlo;
  for (double x : chart.x) {
    if (std::isfinite(x)) xlo = std::min(xlo, x), xhi = std::max(xhi, x);
  }
  for (const ChartSeries& s : chart.series) {
    for (std::size_t i = 0; i < s.y.size() && i < chart.x.size(); ++i) {
      if (std::isfinite(s.y[i]) && std::isfinite(chart.x[i])) ylo = std::min(ylo, s.y[i]), yhi = std::max(yhi, s.y[i]);
    }
  }
  const bool empty = !(yhi >= ylo) || !(xhi >= xlo);
  if (!(xhi >= xlo)) xlo = 0, xhi = 1;
  if (!(yhi >= ylo)) ylo = 0, yhi = 1;
  const Axis ax = NiceAxis(xlo, xhi), ay = NiceAxis(ylo, yhi);
  const double plotW = kWidth - kLeft - kRight, plotH = kHeight - kTop - kBottom;
  auto px = [&](double x) { return kLeft + (x - ax.lo) / (ax.hi - ax.lo) * plotW; };
  auto py = [&](double y) { return kTop + plotH - (y - ay.lo) / (ay.hi - ay.lo) * plotH; };

  std::string svg;
  svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(kWidth) + "\" height=\"" + Num(kHeight) +
         "\" viewBox=\"0 0 " + Num(kWidth) + " " + Num(kHeight) + "\" font-family=\"sans-serif\" font-size=\"12\">\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  svg += "<text x=\"" + Num(kWidth / 2) + "\" y=\"24\" text-anchor=\"middle\" font-size=\"14\">" +
         Escape(chart.title) + "</text>\n";

  // Grid, ticks and labels.
  svg += "<g stroke=\"#dddddd\" stroke-width=\"1\">\n";
  for (double t = ax.lo; t <= ax.hi + ax.step * 1e-9; t += ax.step) {
    svg += "<line x1=\"" + Num(px(t)) + "\" y1=\"" + Num(kTop) + "\" x2=\"" + Num(px(t)) + "\" y2=\"" +
           Num(kTop + plotH) + "\"/>\n";
  }
  for (double t = ay.lo; t <= ay.hi + ay.step * 1e-9; t += ay.step) {
    svg += "<line x1=\"" + Num(kLeft) + "\" y1=\"" + Num(py(t)) + "\" x2=\"" + Num(kLeft + plotW) + "\" y2=\"" +
           Num(py(t)) + "\"/>\n";
  }
  svg += "</g>\n<g fill=\"#333333\">\n";
  for (double t = ax.lo; t <= ax.hi + ax.step * 1e-9; t += ax.step) {
    svg += "<text x=\"" + Num(px(t)) + "\" y=\"" + Num(kTop + plotH + 18) + "\" text-anchor=\"middle\">" +
           Label(t, ax.step) + "</text>\n";
  }
  for (double t = ay.lo; t <= ay.hi + ay.step * 1e-9; t += ay.step) {
    svg += "<text x=\"" + Num(kLeft - 8) + "\" y=\"" + Num(py(t) + 4) + "\" text-anchor=\"end\">" +
           Label(t, ay.step) + "</text>\n";
  }
  svg += "<text x=\"" + Num(kLeft + plotW / 2) + "\" y=\"" + Num(kHeight - 20) + "\" text-anchor=\"middle\">" +
         Escape(chart.xLabel) + "</text>\n";
  svg += "<text transform=\"translate(18 " + Num(kTop + plotH / 2) + ") rotate(-90)\" text-anchor=\"middle\">" +
         Escape(chart.yLabel) + "</text>\n";
  svg += "</g>\n";
  svg += "<rect x=\"" + Num(kLeft) + "\" y=\"" + Num(kTop) + "\" width=\"" + Num(plotW) + "\" height=\"" + Num(plotH) +
         "\" fill=\"none\" stroke=\"#333333\"/>\n";
  if (empty) {
    svg += "<text x=\"" + Num(kLeft + plotW / 2) + "\" y=\"" + Num(kTop + plotH / 2) +
           "\" text-anchor=\"middle\" fill=\"#333333\">no values to draw</text>\n";
  }

  // Series: a polyline for every run of drawable points, and a marker on each.
  for (const ChartSeries& s : chart.series) {
    const std::string stroke = "stroke=\"" + Escape(s.colour) + "\"";
    svg += "<g fill=\"none\" " + stroke + " stroke-width=\"2\"" +
           (s.dashed ? std::string(" stroke-dasharray=\"6 4\"") : std::string()) + ">\n";
    std::string run;
    std::size_t runLength = 0;
    auto flush = [&] {
      if (runLength > 1) svg += "<polyline points=\"" + run + "\"/>\n";
      run.clear();
      runLength = 0;
    };
    for (std::size_t i = 0; i < chart.x.size(); ++i) {
      const double y = i < s.y.size() ? s.y[i] : std::nan("");
      if (!std::isfinite(y) || !std::isfinite(chart.x[i])) {
        flush();
        continue;
      }
      run += (run.empty() ? "" : " ") + Num(px(chart.x[i])) + "," + Num(py(y));
      ++runLength;
    }
    flush();
    svg += "</g>\n<g fill=\"" + Escape(s.colour) + "\">\n";
    for (std::size_t i = 0; i < chart.x.size() && i < s.y.size(); ++i) {
      if (std::isfinite(s.y[i]) && std::isfinite(chart.x[i])) {
        svg += "<circle cx=\"" + Num(px(chart.x[i])) + "\" cy=\"" + Num(py(s.y[i])) + "\" r=\"2.5\"/>\n";
      }
    }
    svg += "</g>\n";
  }

  // Legend, top right inside the plot.
  double ly = kTop + 16;
  for (const ChartSeries& s : chart.series) {
    const double lx = kLeft + plotW - 170;
    svg += "<line x1=\"" + Num(lx) + "\" y1=\"" + Num(ly - 4) + "\" x2=\"" + Num(lx + 24) + "\" y2=\"" + Num(ly - 4) +
           "\" stroke=\"" + Escape(s.colour) + "\" stroke-width=\"2\"" +
           (s.dashed ? std::string(" stroke-dasharray=\"6 4\"") : std::string()) + "/>\n";
    svg += "<text x=\"" + Num(lx + 30) + "\" y=\"" + Num(ly) + "\" fill=\"#333333\">" + Escape(s.name) + "</text>\n";
    ly += 18;
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace eurocall::tool
