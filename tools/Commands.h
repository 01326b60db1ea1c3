// SPDX-License-Identifier: Apache-2.0
// The tool's commands. Each adds its CLI11 sub-command with its options and hands back
// what runs it once the arguments are parsed and the library is loaded; a new command
// is one more Add...Command and one more line in main.
#ifndef EUROCALL_TOOLS_COMMANDS_H
#define EUROCALL_TOOLS_COMMANDS_H

#include <CLI/CLI.hpp>

#include <functional>
#include <string>
#include <vector>

#include "Exports.h"
#include "Library.h"

namespace eurocall::tool {

// Exit statuses, the same for every command.
enum ExitStatus {
  kOk = 0,
  kBadRows = 1,       // batch: some rows could not be read or lie outside the model's domain; every other row was computed
  kUsage = 2,         // unknown command or option, missing or malformed argument, argument outside the model's domain
  kNoLibrary = 3,     // library not found, not loadable, or lacking a needed export
  kInputOutput = 4,   // a file cannot be read or written, is empty, or lacks a column
};

struct Command {
  CLI::App* app;
  std::function<int(const Library&)> run;
};

// bs-call, bs-vol, heston-call, heston-vol, real-integrand-j0, real-integrand-j1,
// integrand: one export on one set of arguments, printed alone on standard output.
void AddSingleCommands(CLI::App& tool, std::vector<Command>* commands);
// batch: every row of a CSV file.
Command AddBatchCommand(CLI::App& tool);
// smile: the Heston implied volatility across strikes, as CSV and SVG.
Command AddSmileCommand(CLI::App& tool);

// calibrate: the Heston parameters fitted to a CSV of market quotes.
Command AddCalibrateCommand(CLI::App& tool);

// The built-in request: every export on one set of market data and Heston parameters,
// printed as an aligned table.
int RunDefaultTable(const Library& library);

// Prints "eurocall: <message>" on standard error.
void Complain(const std::string& message);

}  // namespace eurocall::tool

#endif
