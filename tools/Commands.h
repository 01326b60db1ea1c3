// The tool's commands, each run on a loaded library with its options already parsed.
#ifndef EUROCALL_TOOLS_COMMANDS_H
#define EUROCALL_TOOLS_COMMANDS_H

#include <string>
#include <vector>

#include "Exports.h"
#include "Library.h"

namespace eurocall::tool {

// Exit statuses, the same for every command.
enum ExitStatus {
  kOk = 0,
  kBadRows = 1,       // batch: some rows could not be read; every other row was computed
  kUsage = 2,         // unknown option, missing or malformed argument
  kNoLibrary = 3,     // library not found, not loadable, or lacking a needed export
  kInputOutput = 4,   // a file cannot be read or written, is empty, or lacks a column
};

// The built-in request: every export on one set of market data and Heston parameters,
// printed as an aligned table.
int RunDefaultTable(const Library& library);

// One export on one set of arguments; prints the result alone on standard output.
int RunSingle(const Library& library, Export e, const Values& args);

struct BatchOptions {
  std::string input = "-";
  std::string output;  // empty: standard output
  unsigned threads = 1;
  std::vector<Export> exports;
};
int RunBatch(const Library& library, const BatchOptions& options);

struct SmileOptions {
  Values market{};       // S, T, r and the Heston parameters
  std::vector<double> strikes;
  std::vector<Export> exports;  // HestonVol_exact and/or HestonVol_fast
  std::string output;    // empty: standard output
  std::string svg;       // empty: no drawing
};
int RunSmile(const Library& library, const SmileOptions& options);

// "LO:HI:STEP" as the strikes LO, LO + STEP, LO + 2 STEP, ... up to HI. Returns an
// empty string, or what is wrong with the text.
std::string ParseStrikes(const std::string& text, std::vector<double>* strikes);

// Whole-file input and output; "-" or "" is the standard stream. On failure *why says
// what went wrong, naming the file.
bool ReadAll(const std::string& path, std::string* text, std::string* why);
bool WriteAll(const std::string& path, const std::string& text, std::string* why);

// Prints "eurocall: <message>" on standard error.
void Complain(const std::string& message);

}  // namespace eurocall::tool

#endif
