// eurocall: the command-line host of the eurocall library. It loads the shared library
// by file name at run time and calls its exports by name, as every host of the library
// does, so that what it prints is what the real boundary computes.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "Commands.h"
#include "Evaluate.h"
#include "Library.h"
#include "Numbers.h"

namespace eurocall::tool {
namespace {

using P = Param;

// A number option read with ParseDouble: CLI11's own conversion goes through long
// double and could round twice.
void AddNumber(CLI::App* app, Param p, Values* values) {
  const std::string flag = "--" + std::string(ParamName(p));
  double* target = &At(*values, p);
  app->add_option_function<std::string>(
         flag,
         [flag, target](const std::string& text) {
           if (!ParseDouble(text, target)) throw CLI::ValidationError(flag, "'" + text + "' is not a number");
         },
         std::string(ParamHelp(p)))
      ->required()
      ->type_name("NUM");
}

CLI::Option* AddMethod(CLI::App* app, std::string* method, std::vector<std::string> choices) {
  const std::string help = choices.size() == 3 ? "exact (panels and an adaptive tail), fast (panels) or both"
                                               : "exact (panels and an adaptive tail) or fast (panels)";
  return app->add_option("--method", *method, help)
      ->check(CLI::IsMember(std::move(choices)))
      ->capture_default_str();
}

int Main(int argc, char** argv) {
  CLI::App app{
      "European call options under Black-Scholes and Heston, computed by the eurocall library.\n"
      "Without a sub-command, prints every export on the built-in request.",
      "eurocall"};
  app.require_subcommand(0, 1);
  bool version = false;
  app.add_flag("--version", version, "print the version and which library file is loaded, then exit");
  app.footer("The library is looked for next to this program, then at $EUROCALL_LIBRARY, then in " +
             std::string(EUROCALL_LIBDIR_FROM_BINDIR) + " beside it (an installed tree).\n"
             "Exit status: 0 done, 1 batch rows with errors, 2 usage, 3 library, 4 input or output.\n");

  // One sub-command per export (the two Heston prices and volatilities by --method),
  // its arguments by name.
  struct Single {
    CLI::App* app;
    Export exact, fast;  // the same export twice where there is no --method
    std::string method = "exact";
  };
  Values args{};
  std::vector<std::unique_ptr<Single>> singles;
  auto addSingle = [&](const char* name, const char* help, Export exact, Export fast) {
    auto s = std::make_unique<Single>(Single{app.add_subcommand(name, help), exact, fast});
    for (Param p : Info(exact).params) AddNumber(s->app, p, &args);
    if (exact != fast) AddMethod(s->app, &s->method, {"exact", "fast"});
    singles.push_back(std::move(s));
  };
  addSingle("bs-call", "Black-Scholes call price (BSCall)", Export::BSCall, Export::BSCall);
  addSingle("bs-vol", "Black-Scholes implied volatility of a call price (BSVol); sentinels 0, 2, 999", Export::BSVol,
            Export::BSVol);
  addSingle("heston-call", "Heston call price (HestonCall_exact or HestonCall_fast)", Export::HestonCall_exact,
            Export::HestonCall_fast);
  addSingle("heston-vol", "implied volatility of the Heston price (HestonVol_exact or HestonVol_fast); sentinels 2, 999",
            Export::HestonVol_exact, Export::HestonVol_fast);
  addSingle("real-integrand-j0", "real integrand of the strike probability (RealIntegrand_j0)",
            Export::RealIntegrand_j0, Export::RealIntegrand_j0);
  addSingle("real-integrand-j1", "real integrand of the spot probability (RealIntegrand_j1)",
            Export::RealIntegrand_j1, Export::RealIntegrand_j1);
  addSingle("integrand", "combined integrand e^x j1 - j0 (theIntegrand)", Export::theIntegrand, Export::theIntegrand);

  std::vector<std::string> exportNames;
  for (const ExportInfo& e : AllExports()) exportNames.push_back(e.name);

  BatchOptions batch;
  std::vector<std::string> batchFns;
  batch.threads = DefaultThreads();
  CLI::App* batchApp = app.add_subcommand("batch", "compute exports for every row of a CSV file");
  batchApp->footer(
      "The header row names the columns: S, K, T, r, vol, price, v0, theta, kappa, sigma, rho, x, phi; any other\n"
      "column passes through untouched. The rows come out in input order with one column per export, then\n"
      "note (the meaning of a sentinel volatility: 0, 2 or 999) and error (why a row could not be read; its\n"
      "results are empty and the exit status is 1).\n");
  batchApp->add_option("FILE", batch.input, "CSV input, - for standard input")->capture_default_str();
  batchApp->add_option("-o,--output", batch.output, "write the CSV here instead of standard output");
  batchApp->add_option("--threads", batch.threads, "worker threads; the output is the same for every count")
      ->check(CLI::Range(1u, 1024u))
      ->capture_default_str();
  batchApp->add_option("--fn", batchFns, "exports to compute, by name, comma-separated")
      ->required()
      ->delimiter(',')
      ->check(CLI::IsMember(exportNames))
      ->type_name("NAME[,NAME...]");

  SmileOptions smile;
  std::string smileStrikes, smileMethod = "both";
  CLI::App* smileApp =
      app.add_subcommand("smile", "Heston implied-volatility smile across strikes, as CSV (and SVG with --svg)");
  for (Param p : {P::S, P::T, P::r, P::v0, P::theta, P::kappa, P::sigma, P::rho}) AddNumber(smileApp, p, &smile.market);
  smileApp->add_option("--strikes", smileStrikes, "strikes from LO to HI in steps of STEP")
      ->required()
      ->type_name("LO:HI:STEP")
      ->check([](const std::string& text) {
        std::vector<double> ignored;
        return ParseStrikes(text, &ignored);
      });
  AddMethod(smileApp, &smileMethod, {"exact", "fast", "both"});
  smileApp->add_option("-o,--output", smile.output, "write the CSV here instead of standard output");
  smileApp->add_option("--svg", smile.svg, "also draw the smile into this SVG file")->type_name("FILE");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? kOk : kUsage;
  }

  Library library;
  std::string why;
  if (version) std::printf("eurocall %s\n", EUROCALL_VERSION);
  if (!library.Load(ExecutablePath(argc > 0 ? argv[0] : nullptr), &why)) {
    Complain(why);
    return kNoLibrary;
  }
  if (version) {
    std::printf("library %s\n", library.path().c_str());
    std::vector<Export> all;
    for (const ExportInfo& e : AllExports()) all.push_back(e.id);
    if (const auto missing = library.Missing(all); !missing.empty()) Complain(MissingExportsMessage(library, missing));
    return kOk;
  }

  for (const auto& s : singles) {
    if (s->app->parsed()) return RunSingle(library, s->method == "fast" ? s->fast : s->exact, args);
  }
  if (batchApp->parsed()) {
    for (const std::string& name : batchFns) {
      const Export e = *ExportNamed(name);
      if (std::find(batch.exports.begin(), batch.exports.end(), e) == batch.exports.end()) batch.exports.push_back(e);
    }
    return RunBatch(library, batch);
  }
  if (smileApp->parsed()) {
    ParseStrikes(smileStrikes, &smile.strikes);
    if (smileMethod != "fast") smile.exports.push_back(Export::HestonVol_exact);
    if (smileMethod != "exact") smile.exports.push_back(Export::HestonVol_fast);
    return RunSmile(library, smile);
  }
  return RunDefaultTable(library);
}

}  // namespace
}  // namespace eurocall::tool

int main(int argc, char** argv) { return eurocall::tool::Main(argc, argv); }
