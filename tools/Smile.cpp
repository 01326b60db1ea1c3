// smile: the Heston implied volatility across a range of strikes, as CSV and, on
// request, as an SVG drawing.
#include <cmath>

#include "Commands.h"
#include "Csv.h"
#include "Evaluate.h"
#include "Numbers.h"
#include "SvgChart.h"

namespace eurocall::tool {

namespace {

using P = Param;

// Enough for any drawing; a larger count is almost surely a typo in STEP.
constexpr std::size_t kMaxStrikes = 100000;

}  // namespace

std::string ParseStrikes(const std::string& text, std::vector<double>* strikes) {
  const auto first = text.find(':');
  const auto second = first == std::string::npos ? first : text.find(':', first + 1);
  if (second == std::string::npos || text.find(':', second + 1) != std::string::npos) {
    return "'" + text + "' is not LO:HI:STEP";
  }
  double lo, hi, step;
  if (!ParseDouble(text.substr(0, first), &lo) || !ParseDouble(text.substr(first + 1, second - first - 1), &hi) ||
      !ParseDouble(text.substr(second + 1), &step)) {
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

int RunSmile(const Library& library, const SmileOptions& options) {
  if (const auto missing = library.Missing(options.exports); !missing.empty()) {
    Complain(MissingExportsMessage(library, missing));
    return kNoLibrary;
  }
  std::vector<Values> rows;
  for (double K : options.strikes) {
    Values v = options.market;
    At(v, P::K) = K;
    rows.push_back(v);
  }
  const std::vector<double> vols = Evaluate(library, options.exports, rows, DefaultThreads(), StderrIsTerminal());

  const std::size_t width = options.exports.size();
  std::string csv = "K";
  for (Export e : options.exports) csv += std::string(",") + Info(e).name;
  csv += ",note\n";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    csv += FormatDouble(options.strikes[i]);
    std::string note;
    for (std::size_t j = 0; j < width; ++j) {
      const double vol = vols[i * width + j];
      csv += "," + FormatDouble(vol);
      if (const auto meaning = SentinelMeaning(options.exports[j], vol)) {
        note += (note.empty() ? "" : "; ") + std::string(Info(options.exports[j]).name) + ": " + *meaning;
      }
    }
    csv += "," + CsvField(note) + "\n";
  }

  std::string why;
  if (!options.svg.empty()) {
    Chart chart;
    chart.title = "Heston implied volatility smile";
    for (Param p : {P::S, P::T, P::r, P::v0, P::theta, P::kappa, P::sigma, P::rho}) {
      chart.title += (p == P::S ? "  " : " ") + std::string(ParamName(p)) + "=" + FormatDouble(At(options.market, p));
    }
    chart.xLabel = "strike K";
    chart.yLabel = "implied volatility (%)";
    chart.x = options.strikes;
    for (std::size_t j = 0; j < width; ++j) {
      ChartSeries s;
      s.name = Info(options.exports[j]).name;
      const bool exact = options.exports[j] == Export::HestonVol_exact;
      s.colour = exact ? "#1f5fa8" : "#c8302c";
      s.dashed = !exact;
      // Sentinels are not volatilities: they leave a gap.
      for (std::size_t i = 0; i < rows.size(); ++i) {
        const double vol = vols[i * width + j];
        s.y.push_back(SentinelMeaning(options.exports[j], vol) ? std::nan("") : 100 * vol);
      }
      chart.series.push_back(std::move(s));
    }
    if (!WriteAll(options.svg, RenderSvg(chart), &why)) {
      Complain(why);
      return kInputOutput;
    }
  }
  if (!WriteAll(options.output, csv, &why)) {
    Complain(why);
    return kInputOutput;
  }
  return kOk;
}

}  // namespace eurocall::tool
