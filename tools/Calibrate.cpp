// SPDX-License-Identifier: Apache-2.0
// calibrate: fits the Heston model's five parameters to a file of market quotes and
// prints them with the fit; -o writes the per-quote table, --svg draws market against
// model smiles, one colour per maturity.
//
//   quote                                             what happens
//   a field that cannot be read, or a row too short   left out, named with its line
//   outside the domain of a fit (T, K not > 0; vol    left out, named with the reason
//   not in [0.001, 2]; price < 0; anything infinite)
//   a price no volatility in [0.001, 2] resolves      left out, named with the reason
//   otherwise                                         fitted
//
// Exit status 1 when quotes were left out or the fit did not converge: the parameters
// are printed all the same, with the word on what to make of them.
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>

#include "ChunkPipeline.h"
#include "Commands.h"
#include "Csv.h"
#include "Domain.h"
#include "Files.h"
#include "HestonFit.h"
#include "Names.h"
#include "Numbers.h"
#include "Options.h"
#include "SvgChart.h"

namespace eurocall::tool {

namespace {

using P = Param;

constexpr P kStartParams[] = {P::v0, P::theta, P::kappa, P::sigma, P::rho};
constexpr std::size_t kMaxIterations = 200;
// Enough for a few dozen maturities; the colours repeat after these.
constexpr const char* kPalette[] = {"#1f5fa8", "#c8302c", "#2e8b3a", "#8e44ad", "#d4860b", "#17a2b8",
                                    "#7f5539", "#e83e8c", "#556b2f", "#34495e", "#b8860b", "#4b0082"};

struct CalibrateOptions {
  std::string input, output, svg, method = "exact";
  Values given{};  // S, r, q and the start, NaN where not given
};

struct Surface {
  std::vector<FitQuote> quotes;
  std::vector<std::size_t> lines;
  std::vector<std::string> leftOut;  // "line 7: reason"
};

// The column of each name the quotes may have, or npos.
std::map<std::string, std::size_t> Columns(const CsvRecord& header) {
  std::map<std::string, std::size_t> columns;
  for (std::size_t c = 0; c < header.text.size(); ++c) {
    std::string name(TrimBlanks(header.text[c]));
    if (const auto p = ParamNamed(name)) name = std::string(ParamName(*p));
    if (SameIgnoringCase(name, "kind")) name = "kind";
    columns.emplace(name, c);
  }
  return columns;
}

bool ReadFile(const std::string& path, std::string* text, std::string* why) {
  InputFile input;
  if (!input.Open(path, why)) return false;
  char block[1 << 16];
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, input.get())) > 0) text->append(block, got);
  if (std::ferror(input.get())) {
    *why = input.ReadFailure("read error");
    return false;
  }
  if (text->compare(0, kByteOrderMark.size(), kByteOrderMark) == 0) text->erase(0, kByteOrderMark.size());
  return true;
}

// Reads the quotes, or says on standard error why it cannot (and returns nullopt).
std::optional<Surface> ReadSurface(const Library& library, const CalibrateOptions& options) {
  std::string text, why;
  if (!ReadFile(options.input, &text, &why)) {
    Complain(why);
    return std::nullopt;
  }
  const std::string_view firstLine = std::string_view(text).substr(0, text.find('\n'));
  const std::vector<CsvRecord> records = ParseCsv(text, DetectSeparator(firstLine));
  if (records.empty()) {
    Complain(options.input + ": empty input, expected a header row naming the columns T, K and vol or price");
    return std::nullopt;
  }
  const auto columns = Columns(records.front());
  const auto has = [&](const char* name) { return columns.count(name) > 0; };
  std::string missing;
  if (!has("T")) missing += " T";
  if (!has("K")) missing += " K";
  if (has("vol") == has("price")) missing += " vol-or-price (exactly one)";
  for (P p : {P::S, P::r}) {
    if (std::isnan(At(options.given, p)) && !has(std::string(ParamName(p)).c_str())) {
      missing += " " + std::string(ParamName(p)) + " (or --" + std::string(ParamName(p)) + ")";
    }
  }
  if (!missing.empty()) {
    Complain(options.input + ": the quotes lack the column(s)" + missing);
    return std::nullopt;
  }
  const bool byVol = has("vol");
  Surface surface;
  for (std::size_t k = 1; k < records.size(); ++k) {
    const CsvRecord& record = records[k];
    const std::string where = "line " + std::to_string(record.line) + ": ";
    if (!record.error.empty()) {
      surface.leftOut.push_back(where + record.error);
      continue;
    }
    Values v = options.given;
    std::string problem;
    for (P p : {P::S, P::K, P::T, P::r, P::q, byVol ? P::vol : P::price}) {
      const auto column = columns.find(std::string(ParamName(p)));
      if (column == columns.end()) continue;
      if (!std::isnan(At(options.given, p))) {
        problem = std::string(ParamName(p)) + " is both a column and --" + std::string(ParamName(p));
        break;
      }
      const std::string field = column->second < record.text.size() ? record.text[column->second] : "";
      const NumberText status = ParseDouble(field, &At(v, p));
      if (status != NumberText::kNumber) {
        problem = std::string(ParamName(p)) + ": " + NumberProblem(field, status);
        break;
      }
    }
    if (problem.empty() && std::isnan(At(v, P::q))) At(v, P::q) = 0;
    if (problem.empty()) {
      for (P p : {P::S, P::K, P::T, P::r, P::q, byVol ? P::vol : P::price}) {
        if (const auto outside = OutsideDomain(p, At(v, p))) {
          problem = *outside;
          break;
        }
      }
    }
    if (problem.empty() && !(At(v, P::T) > 0)) problem = "T = 0: an expired option has no volatility to fit";
    if (problem.empty() && byVol && !(At(v, P::vol) >= 0.001 && At(v, P::vol) <= 2)) {
      problem = "vol = " + FormatDouble(At(v, P::vol)) + " lies outside the volatilities a model price can have [0.001, 2]";
    }
    bool put = false;
    if (problem.empty() && has("kind") && !byVol) {
      const std::string field = columns.at("kind") < record.text.size() ? record.text[columns.at("kind")] : "";
      const auto kind = OptionKindNamed(TrimBlanks(field));
      if (!kind) problem = "kind '" + field + "' is neither call nor put";
      put = kind == OptionKind::put;
    }
    FitQuote quote{};
    if (problem.empty()) {
      quote = {At(v, P::S), At(v, P::K), At(v, P::T), At(v, P::r), At(v, P::q), {}, 0, 0};
      quote.option = MakeOtmOption(quote.S, quote.K, quote.T, quote.r, quote.q);
      if (byVol) {
        quote.marketVol = At(v, P::vol);
        quote.marketPrice = OtmPrice(quote.option, quote.marketVol);
      } else {
        // The out-of-the-money price: as given where the row quotes that side (all its
        // digits kept), by parity from the in-the-money one otherwise.
        const double price = At(v, P::price), spot = quote.option.spot, Kd = quote.option.discountedStrike;
        if (put == quote.option.put) {
          quote.marketPrice = price;
        } else {
          quote.marketPrice = quote.option.put ? (price - spot) + Kd : (price - Kd) + spot;
        }
        const ImpliedVol implied = OtmImpliedVol(library, quote.option, quote.marketPrice);
        quote.marketVol = implied.vol;
        if (implied.status != VolStatus::ok) {
          problem = "price " + FormatDouble(price) + ": no volatility in [0.001, 2] resolves it (" +
                    (implied.status == VolStatus::below ? "below" : "above") + " the bracket)";
        }
      }
    }
    if (!problem.empty()) {
      surface.leftOut.push_back(where + problem);
      continue;
    }
    surface.quotes.push_back(quote);
    surface.lines.push_back(record.line);
  }
  return surface;
}

const char* StatusWord(VolStatus s) {
  return s == VolStatus::ok ? "" : s == VolStatus::below ? "model vol below the bracket [0.001, 2]"
                                                         : "model vol above the bracket [0.001, 2]";
}

std::string QuoteTable(const Surface& surface, const FitResult& fit) {
  std::string csv = "line,T,K,r,q,option,market_vol,model_vol,vol_error,market_price,model_price,price_error,note\n";
  for (std::size_t i = 0; i < surface.quotes.size(); ++i) {
    const FitQuote& q = surface.quotes[i];
    csv += std::to_string(surface.lines[i]);
    for (double x : {q.T, q.K, q.r, q.q}) csv += "," + FormatDouble(x);
    csv += q.option.put ? ",put" : ",call";
    for (double x : {q.marketVol, fit.model.vols[i], 100 * (fit.model.vols[i] - q.marketVol), q.marketPrice,
                     fit.model.prices[i], fit.model.prices[i] - q.marketPrice}) {
      csv += "," + FormatDouble(x);
    }
    csv += "," + CsvField(StatusWord(fit.model.statuses[i])) + "\n";
  }
  return csv;
}

std::string SmileChart(const Surface& surface, const FitResult& fit, const std::string& method) {
  Chart chart;
  chart.title = "Heston calibration: market (dashed) and model (solid) smiles";
  const char* names[] = {"v0", "theta", "kappa", "sigma", "rho"};
  for (std::size_t j = 0; j < 5; ++j) chart.subtitle += (j ? "  " : "") + std::string(names[j]) + "=" + FormatDouble(fit.params[j]);
  chart.subtitle += "  (" + method + " prices)";
  chart.xLabel = "strike K";
  chart.yLabel = "implied volatility (% per year)";
  std::map<double, std::size_t> strikes;
  for (const FitQuote& q : surface.quotes) strikes.emplace(q.K, 0);
  for (auto& [K, index] : strikes) {
    index = chart.x.size();
    chart.x.push_back(K);
  }
  std::map<double, std::pair<std::vector<double>, std::vector<double>>> byMaturity;
  for (std::size_t i = 0; i < surface.quotes.size(); ++i) {
    auto& [market, model] = byMaturity[surface.quotes[i].T];
    if (market.empty()) market.assign(chart.x.size(), std::nan("")), model.assign(chart.x.size(), std::nan(""));
    const std::size_t at = strikes[surface.quotes[i].K];
    market[at] = 100 * surface.quotes[i].marketVol;
    if (fit.model.statuses[i] == VolStatus::ok) model[at] = 100 * fit.model.vols[i];
  }
  std::size_t colour = 0;
  for (auto& [T, pair] : byMaturity) {
    const std::string shade = kPalette[colour++ % (sizeof kPalette / sizeof *kPalette)];
    char label[48];
    std::snprintf(label, sizeof label, "T = %.4g", T);
    chart.series.push_back({"", shade, true, pair.first});
    chart.series.push_back({label, shade, false, pair.second});
  }
  return RenderSvg(chart);
}

int RunCalibrate(const Library& library, const CalibrateOptions& options) {
  const Export pricer = options.method == "fast" ? Export::HestonCall_fast : Export::HestonCall_exact;
  if (const auto missing = library.Missing({pricer, Export::BSVol, Export::theIntegrand}); !missing.empty()) {
    Complain(MissingExportsMessage(library, missing));
    return kNoLibrary;
  }
  for (P p : {P::S, P::r, P::q}) {
    if (std::isnan(At(options.given, p))) continue;
    if (const auto problem = OutsideDomain(p, At(options.given, p))) {
      Complain("--" + std::string(ParamName(p)) + ": " + *problem);
      return kUsage;
    }
  }
  const std::optional<Surface> surface = ReadSurface(library, options);
  if (!surface) return kInputOutput;
  for (const std::string& reason : surface->leftOut) Complain("left out " + reason);
  if (surface->quotes.size() < 5) {
    Complain(std::to_string(surface->quotes.size()) + " usable quotes cannot fix the 5 parameters");
    return kInputOutput;
  }
  HestonParams start = DefaultStart(surface->quotes);
  for (std::size_t j = 0; j < 5; ++j) {
    const double given = At(options.given, kStartParams[j]);
    if (std::isnan(given)) continue;
    if (const auto problem = OutsideDomain(kStartParams[j], given)) {
      Complain("start: " + *problem);
      return kUsage;
    }
    start[j] = given;
  }
  const FitResult fit = FitHeston(library, pricer, surface->quotes, start, DefaultThreads(), kMaxIterations);

  double sse = 0, squaredPrice = 0, worst = 0;
  std::size_t worstAt = 0, unresolved = 0;
  for (std::size_t i = 0; i < surface->quotes.size(); ++i) {
    const double e = 100 * (fit.model.vols[i] - surface->quotes[i].marketVol);
    const double priceError = fit.model.prices[i] - surface->quotes[i].marketPrice;
    sse += e * e;
    squaredPrice += priceError * priceError;
    if (std::fabs(e) > std::fabs(worst)) worst = e, worstAt = i;
    if (fit.model.statuses[i] != VolStatus::ok) ++unresolved;
  }
  const double n = double(surface->quotes.size());
  const auto& p = fit.params;
  std::printf("v0 %s\ntheta %s\nkappa %s\nsigma %s\nrho %s\n", FormatDouble(p[0]).c_str(), FormatDouble(p[1]).c_str(),
              FormatDouble(p[2]).c_str(), FormatDouble(p[3]).c_str(), FormatDouble(p[4]).c_str());
  std::printf("quotes fitted %zu of %zu (%s prices, implied-vol errors of the out-of-the-money options)\n",
              surface->quotes.size(), surface->quotes.size() + surface->leftOut.size(), options.method.c_str());
  std::printf("sum of squared errors %.6g vol points^2\nRMSE %.6g vol points, %.6g in price\n", sse,
              std::sqrt(sse / n), std::sqrt(squaredPrice / n));
  std::printf("largest error %.4g vol points at line %zu (T %s, K %s)\n", worst, surface->lines[worstAt],
              FormatDouble(surface->quotes[worstAt].T).c_str(), FormatDouble(surface->quotes[worstAt].K).c_str());
  std::printf("Feller condition 2 kappa theta >= sigma^2: %s\n", 2 * p[2] * p[1] >= p[3] * p[3] ? "holds" : "violated");
  std::printf("%s: %s after %zu iterations, %zu surface pricings, %.3g s\n",
              fit.converged ? "converged" : "NOT CONVERGED", fit.stopped.c_str(), fit.iterations, fit.evaluations,
              fit.seconds);
  if (unresolved > 0) Complain("note: " + std::to_string(unresolved) + " model volatilities lie outside [0.001, 2] at the fit");
  if (!fit.converged) Complain("the fit did not converge (" + fit.stopped + "): the parameters are where it stopped");

  std::string why;
  if (!options.output.empty() && !WriteAll(options.output, QuoteTable(*surface, fit), &why)) {
    Complain(why);
    return kInputOutput;
  }
  if (!options.svg.empty() && !WriteAll(options.svg, SmileChart(*surface, fit, options.method), &why)) {
    Complain(why);
    return kInputOutput;
  }
  return fit.converged && surface->leftOut.empty() ? kOk : kBadRows;
}

}  // namespace

Command AddCalibrateCommand(CLI::App& tool) {
  auto options = std::make_shared<CalibrateOptions>();
  options->given.fill(std::nan(""));
  CLI::App* app = tool.add_subcommand("calibrate", "fit the Heston parameters to a CSV of market quotes");
  app->add_option("QUOTES", options->input, "CSV with columns T, K and vol or price (and S, r, q, kind if not given)")
      ->required();
  AddNumber(app, P::S, &options->given, false);
  AddNumber(app, P::r, &options->given, false);
  AddNumber(app, P::q, &options->given, false)->default_str("0");
  for (P p : kStartParams) AddNumber(app, p, &options->given, false)->group("Start (default: from the quotes)");
  AddMethod(app, &options->method, {"exact", "fast"});
  app->add_option("-o,--output", options->output, "write the per-quote table (CSV) here")->type_name("FILE");
  app->add_option("--svg", options->svg, "draw market and model smiles into this SVG file")->type_name("FILE");
  app->footer(
      "Least squares on implied-volatility errors, each quote through its out-of-the-money option (the put where\n"
      "K e^(-rT) < S e^(-qT)), by GSL's Levenberg-Marquardt within bounds. A price column holds call prices, or\n"
      "puts where a kind column says so. S, r and q come from the options or from columns of the same names.\n"
      "Quotes that cannot be read, lie outside the model's domain or whose price no volatility resolves are\n"
      "left out and named on standard error; exit status 1 then, and when the fit does not converge.\n");
  return {app, [options](const Library& library) { return RunCalibrate(library, *options); }};
}

}  // namespace eurocall::tool
