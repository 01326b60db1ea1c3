// SPDX-License-Identifier: Apache-2.0
#include "Commands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "Domain.h"
#include "Files.h"
#include "Numbers.h"
#include "Options.h"
#include "Request.h"

namespace eurocall::tool {

namespace {

using P = Param;

// The phi at which the default table shows the three integrands.
constexpr double kSamplePhi = 1.0;

std::string Arguments(Export e, const Values& v) {
  std::string s;
  for (Param p : Info(e).params) s += (s.empty() ? "" : " ") + std::string(ParamName(p)) + "=" + FormatDouble(At(v, p));
  return s;
}

const char* CommandHelp(Export e) {
  switch (e) {
    case Export::BSCall: return "Black-Scholes call price (BSCall), or put with --kind put";
    case Export::BSVol: return "Black-Scholes implied volatility of a call or put price (BSVol); sentinels 0, 2, 999";
    case Export::HestonCall_exact: return "Heston call price (HestonCall_exact, or HestonCall_fast by --method), or put";
    case Export::HestonVol_exact:
      return "implied volatility of the Heston price (HestonVol_exact, or HestonVol_fast by --method); sentinels 2, 999";
    case Export::RealIntegrand_j0: return "real integrand of the strike probability (RealIntegrand_j0)";
    case Export::RealIntegrand_j1: return "real integrand of the spot probability (RealIntegrand_j1)";
    default: return "combined integrand e^x j1 - j0 (theIntegrand)";
  }
}

int RunSingle(const Library& library, Export e, const Request& request, bool raw) {
  if (const auto missing = library.Missing(ExportsNeeded({e})); !missing.empty()) {
    Complain(MissingExportsMessage(library, missing));
    return kNoLibrary;
  }
  if (!raw) {
    if (const auto problem = FirstOutsideDomain(RequestParams(e), request.values)) {
      Complain(*problem + "; --raw prints the library's number as it is");
      return kUsage;
    }
  }
  const double result = Compute(library, e, request);
  std::string why;
  if (!WriteAll("", FormatDouble(result) + "\n", &why)) {
    Complain(why);
    return kInputOutput;
  }
  if (const auto note = ResultNote(library, e, request, result)) {
    const bool sentinel = SentinelMeaning(e, result).has_value();
    Complain(std::string("note: ") + Info(e).name + " returned " +
             (sentinel ? "the sentinel " + *note : FormatDouble(result) + ", " + *note));
  }
  return kOk;
}

}  // namespace

void Complain(const std::string& message) { std::fprintf(stderr, "eurocall: %s\n", message.c_str()); }

void AddSingleCommands(CLI::App& tool, std::vector<Command>* commands) {
  struct Single {
    Request request;
    std::string method = "exact";
    bool raw = false;
  };
  for (const ExportInfo& info : AllExports()) {
    // One command per export, or per exact and fast pair.
    if (std::string(info.method) == "fast") continue;
    const Export exact = info.id;
    const Export fast = ExportsNamed(info.command, "fast").front();
    auto single = std::make_shared<Single>();
    CLI::App* app = tool.add_subcommand(info.command, CommandHelp(exact));
    for (Param p : info.params) AddNumber(app, p, &single->request.values);
    if (fast != exact) AddMethod(app, &single->method, {"exact", "fast"});
    if (info.result != ResultKind::integrand) AddKindAndDividend(app, &single->request);
    app->add_flag("--raw", single->raw, "print the library's number even for arguments outside the model's domain");
    commands->push_back({app, [single, exact, fast](const Library& library) {
                           return RunSingle(library, single->method == "fast" ? fast : exact, single->request,
                                            single->raw);
                         }});
  }
}

int RunDefaultTable(const Library& library) {
  Values v{};
  At(v, P::S) = 100;
  At(v, P::K) = 100;
  At(v, P::T) = 1;
  At(v, P::r) = 0.05;
  At(v, P::vol) = 0.2;
  At(v, P::v0) = 0.04;
  At(v, P::theta) = 0.04;
  At(v, P::kappa) = 1.5;
  At(v, P::sigma) = 0.3;
  At(v, P::rho) = -0.7;
  // The integrands see the request through its log forward moneyness, formed as the
  // Heston prices form it: ln(e^(rT) S / K).
  At(v, P::x) = std::log(std::exp(At(v, P::r) * At(v, P::T)) * At(v, P::S) / At(v, P::K));
  At(v, P::phi) = kSamplePhi;

  std::vector<Export> all;
  for (const ExportInfo& e : AllExports()) all.push_back(e.id);
  if (const auto missing = library.Missing(all); !missing.empty()) {
    Complain(MissingExportsMessage(library, missing));
    return kNoLibrary;
  }
  // BSVol inverts the price BSCall gives for the request's vol.
  At(v, P::price) = library.Call(Export::BSCall, v);

  struct Row {
    std::string name, arguments, result;
  };
  std::vector<Row> rows = {{"export", "arguments", "result"}};
  for (const ExportInfo& e : AllExports()) {
    const double result = library.Call(e.id, v);
    std::string text = FormatDouble(result);
    if (const auto meaning = SentinelMeaning(e.id, result)) text += "  (" + *meaning + ")";
    rows.push_back({e.name, Arguments(e.id, v), text});
  }
  std::size_t nameWidth = 0, argumentsWidth = 0;
  for (const Row& r : rows) {
    nameWidth = std::max(nameWidth, r.name.size());
    argumentsWidth = std::max(argumentsWidth, r.arguments.size());
  }
  std::string out;
  for (const Row& r : rows) {
    out += r.name + std::string(nameWidth + 2 - r.name.size(), ' ');
    out += r.arguments + std::string(argumentsWidth + 2 - r.arguments.size(), ' ');
    out += r.result + "\n";
  }
  std::string why;
  if (!WriteAll("", out, &why)) {
    Complain(why);
    return kInputOutput;
  }
  return kOk;
}

}  // namespace eurocall::tool
