// SPDX-License-Identifier: Apache-2.0
// eurocall: the command-line host of the eurocall library. It loads the shared library
// by file name at run time and calls its exports by name, as every host of the library
// does, so that what it prints is what the real boundary computes.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "Commands.h"
#include "Library.h"
#include "Names.h"

namespace eurocall::tool {
namespace {

// Every long and short name of the options of `app`, with their dashes.
std::vector<std::string> OptionNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::Option* o : app.get_options()) {
    for (const std::string& n : o->get_lnames()) names.push_back("--" + n);
    for (const std::string& n : o->get_snames()) names.push_back("-" + n);
  }
  return names;
}

// A usage error as one line that says what was typed, what was meant if that is clear,
// and where the options are described. CLI11's own text where there is nothing better.
std::string UsageMessage(const CLI::App& tool, const CLI::App* command, const CLI::ParseError& e,
                         const std::vector<std::string>& arguments) {
  const CLI::App& scope = command ? *command : tool;
  const std::string prefix = command ? command->get_name() + ": " : "";
  const std::string help = " (run 'eurocall" + (command ? " " + command->get_name() : std::string()) +
                           " --help' for the " + (command ? "options)" : "commands and options)");
  // The arguments that belong to the command: those after its name.
  auto begin = arguments.begin();
  if (command) begin = std::find(arguments.begin(), arguments.end(), command->get_name()) + 1;
  // An option name typed wrong shows as whatever CLI11 meets first (a required option
  // missing, say): it is the one thing to tell.
  const std::vector<std::string> known = OptionNames(scope);
  for (auto a = begin; a < arguments.end(); ++a) {
    const bool named = (a->size() > 2 && a->compare(0, 2, "--") == 0 && std::isalpha((unsigned char)(*a)[2])) ||
                       (a->size() > 1 && (*a)[0] == '-' && std::isalpha((unsigned char)(*a)[1]));
    if (!named) continue;  // a value such as -0.7
    const std::string name = a->substr(0, a->find('='));
    if (std::find(known.begin(), known.end(), name) == known.end()) {
      return prefix + "unknown option '" + name + "'" + DidYouMean(name, known) + help;
    }
  }
  if (dynamic_cast<const CLI::ExtrasError*>(&e)) {
    for (auto a = begin; a < arguments.end(); ++a) {
      if (a->empty() || (*a)[0] == '-') continue;
      if (command) return prefix + "unexpected argument '" + *a + "'" + help;
      std::vector<std::string> commands;
      for (const CLI::App* sub : tool.get_subcommands([](const CLI::App*) { return true; })) {
        commands.push_back(sub->get_name());
      }
      return "unknown command '" + *a + "'" + DidYouMean(*a, commands) + help;
    }
  }
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
    for (const CLI::Option* o : scope.get_options()) {
      if (o->count() > 1 && o->get_items_expected_max() == 1) {
        return prefix + o->get_name() + " is given " + std::to_string(o->count()) + " times; give it once" + help;
      }
    }
    const std::string what = e.what();
    if (what.size() > 8 && what.compare(what.size() - 8, 8, " missing") == 0) {
      return prefix + what.substr(0, what.find(':')) + " needs a value" + help;
    }
  }
  return prefix + e.what() + help;
}

int Main(int argc, char** argv) {
  CLI::App app{
      "European call and put options under Black-Scholes and Heston, computed by the eurocall library.\n"
      "Without a command, prints every export on the built-in request.",
      "eurocall"};
  app.require_subcommand(0, 1);
  bool version = false;
  app.add_flag("--version", version, "print the version and which library file is loaded, then exit");
  app.footer(
      "The library is the file $EUROCALL_LIBRARY names (the library, or a directory holding it) when that is\n"
      "set; otherwise the one next to this program, then the one in " + std::string(EUROCALL_LIBDIR_FROM_BINDIR) +
      " beside it (an installed tree).\n"
      "Arguments outside the model's domain (S, K > 0; T, vol, v0, theta, kappa, sigma, price >= 0;\n"
      "-1 <= rho <= 1; all finite) are refused, or in batch noted per row.\n"
      "Exit status: 0 done; 1 batch rows unreadable or outside the domain; 2 usage or an argument outside\n"
      "the domain; 3 library; 4 input or output.\n"
      "'eurocall COMMAND --help' describes a command's options.\n");

  std::vector<Command> commands;
  AddSingleCommands(app, &commands);
  commands.push_back(AddBatchCommand(app));
  commands.push_back(AddSmileCommand(app));
  commands.push_back(AddCalibrateCommand(app));

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help
    const CLI::App* command = nullptr;
    for (const Command& c : commands) {
      if (c.app->parsed()) command = c.app;
    }
    Complain(UsageMessage(app, command, e, std::vector<std::string>(argv + 1, argv + argc)));
    return kUsage;
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
  for (const Command& c : commands) {
    if (c.app->parsed()) return c.run(library);
  }
  return RunDefaultTable(library);
}

}  // namespace
}  // namespace eurocall::tool

int main(int argc, char** argv) { return eurocall::tool::Main(argc, argv); }
