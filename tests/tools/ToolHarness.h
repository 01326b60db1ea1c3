// SPDX-License-Identifier: Apache-2.0
// Runs the eurocall tool as a child process and binds the library directly, so that
// tests can compare what the tool prints with what the library returns, bit for bit.
#ifndef EUROCALL_TESTS_TOOLS_TOOLHARNESS_H
#define EUROCALL_TESTS_TOOLS_TOOLHARNESS_H

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace eurocall::testing {

struct Outcome {
  int status = -1;  // exit status, or -1 if the tool did not exit normally
  std::string out, err;
  long peakResidentKiB = 0;  // the child's largest resident set size
};

struct RunOptions {
  std::string input;                      // standard input
  std::map<std::string, std::string> env;  // set for the child; EUROCALL_LIBRARY is unset unless given
  std::string tool = EUROCALL_TOOL;
  // When set, standard error is a terminal this many columns wide, and Outcome::err
  // what the tool wrote to it (line ends as the terminal shows them, CR LF).
  unsigned short terminalColumns = 0;
  // Standard input is that terminal too: `input` is typed into it, then Ctrl-D.
  bool terminalInput = false;
};

Outcome RunTool(const std::vector<std::string>& args, const RunOptions& options = {});

// How Outcome::err starts where no terminal could be made (a machine without
// pseudo-terminals): a test of what the tool does at a terminal cannot run there.
constexpr char kNoTerminal[] = "no pseudo-terminal: ";

inline RunOptions WithInput(std::string input) {
  RunOptions o;
  o.input = std::move(input);
  return o;
}

// `args` with the options of `change` ("--vol", "0.3", ...) set to their new values, or
// added at the end where `args` lacks them.
std::vector<std::string> WithOptions(std::vector<std::string> args, const std::vector<std::string>& change);

// A directory of its own for this test process, created on first use.
std::string ScratchDir();
std::string WriteScratchFile(const std::string& name, const std::string& content);
std::string ReadFile(const std::string& path);

// A copy of the tool in a directory with no library beside it.
std::string LoneToolCopy();

// The library as a host binds it: dlopen by file name, exports by name.
class DirectLibrary {
 public:
  DirectLibrary();
  ~DirectLibrary();
  bool Has(const std::string& name) const;
  double Call(const std::string& name, const std::vector<double>& args) const;

 private:
  void* handle_;
};

// The library bound once per test process.
const DirectLibrary& Library();

// True if every one of `names` is exported; the Heston tests skip themselves until the
// library has them.
bool Exports(const std::vector<std::string>& names);

// strtod of the whole text, or nullopt.
std::optional<double> ParseNumber(const std::string& text);

// The text is the shortest decimal that reads back as `value`: one significant digit
// fewer would not do.
bool IsShortestRoundTrip(const std::string& text, double value);

// Minimal CSV reading for checking the tool's output: quoted fields, doubled quotes.
std::vector<std::vector<std::string>> ReadCsv(const std::string& text);

std::vector<std::string> SplitLines(const std::string& text);

}  // namespace eurocall::testing

#endif
