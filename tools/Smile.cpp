// SPDX-License-Identifier: Apache-2.0
// smile: the Heston implied volatility across a range of strikes, as CSV and, on
// request, as an SVG drawing. A volatility that is a sentinel or unresolved is named in
// the note column and left out of the drawing, which says how many points it leaves out.
#include <cmath>
#include <cstdio>

#include "ChunkPipeline.h"
#include "Commands.h"
#include "Csv.h"
#include "Domain.h"
#include "ComputeAll.h"
#include "Files.h"
#include "Numbers.h"
#include "Options.h"
#include "Request.h"
#include "SvgChart.h"
#include "Terminal.h"

namespace eurocall::tool {

namespace {

using P = Param;

// Enough for any drawing; a larger count is almost surely a typo in STEP.
constexpr std::size_t kMaxStrikes = 100000;

// The market and model of a smile, in the order the title shows them.
constexpr P kMarket[] = {P::S, P::T, P::r, P::q, P::v0, P::theta, P::kappa, P::sigma, P::rho};

struct SmileOptions {
  Request market;  // S, T, r, q and the Heston parameters
  std::string strikes, method = "both", output, svg, unit;
};

// "LO:HI:STEP" as the strikes LO, LO + STEP, LO + 2 STEP, ... up to HI. Returns an
// empty string, or what is wrong with the text.
std::string ParseStrikes(const std::string& text, std::vector<double>* strikes) {
  const auto first = text.find(':');
  const auto second = first == std::string::npos ? first : text.find(':', first + 1);
  if (second == std::string::npos || text.find(':', second + 1) != std::string::npos) {
    return "'" + text + "' is not LO:HI:STEP";
  }
  double lo, hi, step;
  if (ParseDouble(text.substr(0, first), &lo) != NumberText::kNumber ||
      ParseDouble(text.substr(first + 1, second - first - 1), &hi) != NumberText::kNumber ||
      ParseDouble(text.substr(second + 1), &step) != NumberText::kNumber) {
    return "'" + text + "': LO, HI and STEP must be numbers";
  }
  if (!std::isfinite(lo) || !std::isfinite(hi) || !(step > 0) || !std::isfinite(step)) {
    return "'" + text + "': LO and HI must be finite and STEP positive";
  }
  if (!(hi >= lo)) return "'" + text + "': HI is below LO";
  // A hair of slack so that 80:120:0.1 ends at 120 despite 0.1 not being exact.
  const double intervals = std::floor((hi - lo) / step * (1 + 1e-12));
  if (!(intervals < double(kMaxStrikes))) return "'" + text + "' gives more than " + std::to_string(kMaxStrikes) + " strikes";
  strikes->clear();
  for (std::size_t i = 0; i <= std::size_t(intervals); ++i) strikes->push_back(lo + double(i) * step);
  return "";
}

// A number for a label: six significant digits are plenty to read off a chart.
std::string Short(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.6g", v);
  return buffer;
}

int RunSmile(const Library& library, const SmileOptions& options) {
  std::vector<Export> exports;
  if (options.method != "fast") exports.push_back(Export::HestonVol_exact);
  if (options.method != "exact") exports.push_back(Export::HestonVol_fast);
  if (const auto missing = library.Missing(ExportsNeeded(exports)); !missing.empty()) {
    Complain(MissingExportsMessage(library, missing));
    return kNoLibrary;
  }
  std::vector<double> strikes;
  ParseStrikes(options.strikes, &strikes);
  for (Param p : kMarket) {
    if (const auto problem = OutsideDomain(p, At(options.market.values, p))) {
      Complain(*problem);
      return kUsage;
    }
  }
  if (const auto problem = OutsideDomain(P::K, strikes.front())) {
    Complain("--strikes: " + *problem);
    return kUsage;
  }
  std::vector<Request> requests(strikes.size(), options.market);
  for (std::size_t i = 0; i < strikes.size(); ++i) At(requests[i].values, P::K) = strikes[i];
  const std::vector<double> vols = ComputeAll(library, exports, requests, DefaultThreads(), StderrIsTerminal());

  const std::size_t width = exports.size();
  std::vector<std::vector<bool>> drawn(width, std::vector<bool>(strikes.size(), true));
  std::size_t leftOut = 0;
  std::string csv = "K";
  for (Export e : exports) csv += std::string(",") + Info(e).name;
  csv += ",note\n";
  for (std::size_t i = 0; i < strikes.size(); ++i) {
    csv += FormatDouble(strikes[i]);
    std::string note;
    for (std::size_t j = 0; j < width; ++j) {
      const double vol = vols[i * width + j];
      csv += "," + FormatDouble(vol);
      if (const auto meaning = ResultNote(library, exports[j], requests[i], vol)) {
        note += (note.empty() ? "" : "; ") + std::string(Info(exports[j]).name) + ": " + *meaning;
        drawn[j][i] = false;
        ++leftOut;
      }
    }
    csv += "," + CsvField(note) + "\n";
  }

  std::string why;
  if (!options.svg.empty()) {
    Chart chart;
    chart.title = "Heston implied volatility smile";
    for (Param p : kMarket) {
      chart.subtitle += (p == P::S ? "" : "  ") + std::string(ParamName(p)) + "=" + FormatDouble(At(options.market.values, p));
    }
    chart.xLabel = "strike K (" + (options.unit.empty() ? std::string("in the unit of S") : options.unit) + ")";
    chart.yLabel = "implied volatility (% per year)";
    chart.x = strikes;
    const Values& m = options.market.values;
    const double forward = At(m, P::S) * std::exp((At(m, P::r) - At(m, P::q)) * At(m, P::T));
    chart.markers.push_back({forward, "forward " + Short(forward)});
    for (std::size_t j = 0; j < width; ++j) {
      ChartSeries s;
      s.name = Info(exports[j]).name;
      const bool exact = exports[j] == Export::HestonVol_exact;
      s.colour = exact ? "#1f5fa8" : "#c8302c";
      s.dashed = !exact;
      for (std::size_t i = 0; i < strikes.size(); ++i) s.y.push_back(drawn[j][i] ? 100 * vols[i * width + j] : std::nan(""));
      chart.series.push_back(std::move(s));
    }
    if (leftOut > 0) {
      chart.footnotes.push_back("Left out: " + std::to_string(leftOut) + (leftOut == 1 ? " point" : " points") +
                                " whose volatility is a sentinel or unresolved (see the CSV's note column).");
    }
    if (!(forward >= strikes.front() && forward <= strikes.back())) {
      chart.footnotes.push_back("The forward " + Short(forward) + " lies outside the strikes drawn.");
    }
    if (!WriteAll(options.svg, RenderSvg(chart), &why)) {
      Complain(why);
      return kInputOutput;
    }
    if (leftOut > 0) {
      Complain("note: the drawing leaves out " + std::to_string(leftOut) +
               (leftOut == 1 ? " point" : " points") + " whose volatility is a sentinel or unresolved");
    }
  }
  if (!WriteAll(options.output, csv, &why)) {
    Complain(why);
    return kInputOutput;
  }
  return kOk;
}

}  // namespace

Command AddSmileCommand(CLI::App& tool) {
  auto options = std::make_shared<SmileOptions>();
  CLI::App* app =
      tool.add_subcommand("smile", "Heston implied-volatility smile across strikes, as CSV (and SVG with --svg)");
  for (Param p : kMarket) AddNumber(app, p, &options->market.values, p != P::q)->default_str(p == P::q ? "0" : "");
  app->add_option("--strikes", options->strikes, "strikes from LO to HI in steps of STEP")
      ->required()
      ->type_name("LO:HI:STEP")
      ->check([](const std::string& text) {
        std::vector<double> ignored;
        return ParseStrikes(text, &ignored);
      });
  AddMethod(app, &options->method, {"exact", "fast", "both"});
  app->add_option("-o,--output", options->output, "write the CSV here instead of standard output");
  app->add_option("--svg", options->svg, "also draw the smile into this SVG file")->type_name("FILE");
  app->add_option("--unit", options->unit, "the unit of S and K, for the drawing's strike axis (USD, index points)")
      ->type_name("TEXT");
  app->footer(
      "The volatility of a put is that of the call (the prices are one parity apart), so there is no --kind.\n"
      "The drawing marks the forward S e^((r-q)T) and leaves out sentinel and unresolved volatilities.\n");
  return {app, [options](const Library& library) { return RunSmile(library, *options); }};
}

}  // namespace eurocall::tool
