// SPDX-License-Identifier: Apache-2.0
#include "SvgChart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace eurocall::tool {

namespace {

constexpr double kWidth = 720, kPlotHeight = 330;
constexpr double kLeft = 72, kRight = 24;
// Room around the texts, and the height of a line of each size.
constexpr double kMargin = 12;
constexpr double kTitleSize = 15, kSubtitleSize = 11, kTextSize = 12;
constexpr double kLineGap = 1.35;

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

// `text` in lines no wider than `width`, broken at blanks; a word wider than the
// width has a line of its own.
std::vector<std::string> Wrap(const std::string& text, double width, double fontSize) {
  std::vector<std::string> lines;
  std::string line;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t blank = text.find(' ', i);
    const std::string word = text.substr(i, blank == std::string::npos ? std::string::npos : blank - i);
    i = blank == std::string::npos ? text.size() : blank + 1;
    if (word.empty()) continue;
    const std::string longer = line.empty() ? word : line + " " + word;
    if (!line.empty() && EstimatedTextWidth(longer, fontSize) > width) {
      lines.push_back(line);
      line = word;
    } else {
      line = longer;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string Text(double x, double y, const char* anchor, double size, const std::string& text,
                 const std::string& extra = "") {
  return "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" text-anchor=\"" + anchor + "\" font-size=\"" + Num(size) +
         "\"" + extra + ">" + Escape(text) + "</text>\n";
}

}  // namespace

double EstimatedTextWidth(const std::string& text, double fontSize) {
  // Advance widths in em, rounded up: DejaVu Sans has digits at 0.636, '=' at 0.838,
  // capitals up to 0.79 (W 0.99), lower case up to 0.65 (m 0.97, w 0.82).
  double em = 0;
  for (unsigned char c : text) {
    if (c >= '0' && c <= '9') em += 0.64;
    else if (c == ' ' || c == '.' || c == ',' || c == ':' || c == ';' || c == '\'' || c == 'i' || c == 'l' || c == 'j')
      em += 0.33;
    else if (c == '=' || c == '+' || c == '<' || c == '>' || c == 'm' || c == 'w' || c == '%' || c == '@') em += 1.0;
    else if (c >= 'A' && c <= 'Z') em += c == 'W' || c == 'M' ? 1.0 : 0.8;
    else if (c >= 'a' && c <= 'z') em += 0.66;
    else em += 0.85;  // anything else, multibyte sequences included, byte by byte
  }
  return em * fontSize;
}

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

  // Heights: the title block above the plot, the axis label and footnotes below.
  const double textWidth = kWidth - 2 * kMargin;
  const std::vector<std::string> title = Wrap(chart.title, textWidth, kTitleSize);
  const std::vector<std::string> subtitle = Wrap(chart.subtitle, textWidth, kSubtitleSize);
  std::vector<std::string> footnotes;
  for (const std::string& f : chart.footnotes) {
    for (std::string& line : Wrap(f, kWidth - kLeft - kMargin, kSubtitleSize)) footnotes.push_back(std::move(line));
  }
  double y = kMargin;
  std::string head;
  for (const std::string& line : title) {
    y += kTitleSize * kLineGap;
    head += Text(kWidth / 2, y, "middle", kTitleSize, line);
  }
  for (const std::string& line : subtitle) {
    y += kSubtitleSize * kLineGap;
    head += Text(kWidth / 2, y, "middle", kSubtitleSize, line, " fill=\"#333333\"");
  }
  const double top = y + kMargin + kTextSize;
  const double plotW = kWidth - kLeft - kRight, plotH = kPlotHeight;
  const double axisLabelY = top + plotH + 2.2 * kTextSize * kLineGap;
  const double height = axisLabelY + double(footnotes.size()) * kSubtitleSize * kLineGap + kMargin;
  auto px = [&](double x) { return kLeft + (x - ax.lo) / (ax.hi - ax.lo) * plotW; };
  auto py = [&](double v) { return top + plotH - (v - ay.lo) / (ay.hi - ay.lo) * plotH; };

  std::string svg;
  svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(kWidth) + "\" height=\"" + Num(height) +
         "\" viewBox=\"0 0 " + Num(kWidth) + " " + Num(height) + "\" font-family=\"sans-serif\" font-size=\"" +
         Num(kTextSize) + "\">\n";
  svg += "<rect width=\"" + Num(kWidth) + "\" height=\"" + Num(height) + "\" fill=\"white\"/>\n";
  svg += "<g id=\"title\">\n" + head + "</g>\n";

  // Grid, ticks and labels.
  svg += "<g stroke=\"#dddddd\" stroke-width=\"1\">\n";
  for (double t = ax.lo; t <= ax.hi + ax.step * 1e-9; t += ax.step) {
    svg += "<line x1=\"" + Num(px(t)) + "\" y1=\"" + Num(top) + "\" x2=\"" + Num(px(t)) + "\" y2=\"" +
           Num(top + plotH) + "\"/>\n";
  }
  for (double t = ay.lo; t <= ay.hi + ay.step * 1e-9; t += ay.step) {
    svg += "<line x1=\"" + Num(kLeft) + "\" y1=\"" + Num(py(t)) + "\" x2=\"" + Num(kLeft + plotW) + "\" y2=\"" +
           Num(py(t)) + "\"/>\n";
  }
  svg += "</g>\n<g fill=\"#333333\">\n";
  for (double t = ax.lo; t <= ax.hi + ax.step * 1e-9; t += ax.step) {
    svg += Text(px(t), top + plotH + 18, "middle", kTextSize, Label(t, ax.step));
  }
  for (double t = ay.lo; t <= ay.hi + ay.step * 1e-9; t += ay.step) {
    svg += Text(kLeft - 8, py(t) + 4, "end", kTextSize, Label(t, ay.step));
  }
  svg += Text(kLeft + plotW / 2, axisLabelY, "middle", kTextSize, chart.xLabel);
  svg += "<text transform=\"translate(18 " + Num(top + plotH / 2) + ") rotate(-90)\" text-anchor=\"middle\">" +
         Escape(chart.yLabel) + "</text>\n";
  for (std::size_t i = 0; i < footnotes.size(); ++i) {
    svg += Text(kLeft, axisLabelY + double(i + 1) * kSubtitleSize * kLineGap, "start", kSubtitleSize, footnotes[i]);
  }
  svg += "</g>\n";
  svg += "<rect x=\"" + Num(kLeft) + "\" y=\"" + Num(top) + "\" width=\"" + Num(plotW) + "\" height=\"" + Num(plotH) +
         "\" fill=\"none\" stroke=\"#333333\"/>\n";
  if (empty) svg += Text(kLeft + plotW / 2, top + plotH / 2, "middle", kTextSize, "no values to draw", " fill=\"#333333\"");

  // Markers, labelled at their foot: to the right of the line, or to its left near the
  // right edge.
  for (const ChartMarker& m : chart.markers) {
    if (!(m.x >= ax.lo && m.x <= ax.hi)) continue;
    const double x = px(m.x);
    svg += "<line class=\"marker\" x1=\"" + Num(x) + "\" y1=\"" + Num(top) + "\" x2=\"" + Num(x) + "\" y2=\"" +
           Num(top + plotH) + "\" stroke=\"#555555\" stroke-width=\"1\" stroke-dasharray=\"2 3\"/>\n";
    const bool left = x + 6 + EstimatedTextWidth(m.label, kSubtitleSize) > kLeft + plotW;
    svg += Text(left ? x - 4 : x + 4, top + plotH - 6, left ? "end" : "start", kSubtitleSize, m.label,
                " fill=\"#555555\"");
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
      const double v = i < s.y.size() ? s.y[i] : std::nan("");
      if (!std::isfinite(v) || !std::isfinite(chart.x[i])) {
        flush();
        continue;
      }
      run += (run.empty() ? "" : " ") + Num(px(chart.x[i])) + "," + Num(py(v));
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

  // Legend, top right inside the plot; a series without a name has no entry.
  double ly = top + 16;
  for (const ChartSeries& s : chart.series) {
    if (s.name.empty()) continue;
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
