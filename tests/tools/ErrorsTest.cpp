// SPDX-License-Identifier: Apache-2.0
// Bad input: a clear message on standard error, nothing half-written on standard
// output, and an exit status that tells the kind of failure (2 usage, 3 library,
// 4 input or output).
#include <algorithm>

#include <gtest/gtest.h>

#include "ToolHarness.h"

namespace eurocall::testing {
namespace {

// A good bs-call command with the options of `change` set to new values or, if new, added.
std::vector<std::string> BsCall(const std::vector<std::string>& change) {
  return WithOptions({"bs-call", "--S", "100", "--K", "100", "--T", "1", "--r", "0.05", "--vol", "0.2"}, change);
}

struct Case {
  std::string what;
  std::vector<std::string> args;
  std::string input;  // standard input, or the content of the file named "$FILE" in args
  int status;
  std::vector<std::string> messages;  // each must appear on standard error
};

void Check(const Case& c, const RunOptions& base = {}) {
  SCOPED_TRACE(c.what);
  RunOptions options = base;
  std::vector<std::string> args = c.args;
  std::string file;
  for (std::string& a : args) {
    if (a == "$FILE") a = file = WriteScratchFile("input.csv", c.input);
  }
  if (file.empty()) options.input = c.input;
  const Outcome o = RunTool(args, options);
  EXPECT_EQ(o.status, c.status) << o.err;
  EXPECT_EQ(o.out, "");
  // Every message names the tool, CLI11's included; a library path list is indented.
  for (const std::string& line : SplitLines(o.err)) {
    if (line.rfind("  ", 0) != 0) EXPECT_EQ(line.rfind("eurocall: ", 0), 0u) << line;
  }
  for (std::string m : c.messages) {
    if (auto p = m.find("$FILE"); p != std::string::npos) m.replace(p, 5, file);
    EXPECT_NE(o.err.find(m), std::string::npos) << "missing \"" << m << "\" in:\n" << o.err;
  }
}

TEST(Errors, CommandLine) {
  const std::vector<std::string> smile = {"smile", "--S", "1", "--T", "1", "--r", "0", "--v0", "1", "--theta", "1",
                                          "--kappa", "1", "--sigma", "1", "--rho", "0", "--strikes"};
  auto smileWith = [&](const std::string& strikes) {
    std::vector<std::string> a = smile;
    a.push_back(strikes);
    return a;
  };
  const Case cases[] = {
      {"unknown option", BsCall({"--bogus", "1"}), "", 2, {"bs-call: unknown option '--bogus' (run 'eurocall bs-call --help'"}},
      {"misspelt option", BsCall({"--vl", "0.2"}), "", 2, {"unknown option '--vl'; did you mean '--vol'?"}},
      {"unknown command", {"frobnicate"}, "", 2, {"eurocall: unknown command 'frobnicate' (run 'eurocall --help'"}},
      {"misspelt command", {"bscall"}, "", 2, {"unknown command 'bscall'; did you mean 'bs-call'?"}},
      {"export name for a command", {"HestonVol"}, "", 2, {"did you mean 'heston-vol'?"}},
      {"unexpected argument", {"bs-call", "7", "--S", "100", "--K", "100", "--T", "1", "--r", "0.05", "--vol", "0.2"}, "", 2,
       {"bs-call: unexpected argument '7'"}},
      {"missing argument", {"bs-call", "--S", "100", "--K", "100", "--T", "1", "--r", "0.05"}, "", 2, {"bs-call: --vol is required"}},
      {"option without its value", {"bs-call", "--K", "100", "--T", "1", "--r", "0.05", "--vol", "0.2", "--S"}, "", 2,
       {"bs-call: --S needs a value"}},
      {"option given twice", {"bs-call", "--S", "100", "--K", "100", "--T", "1", "--r", "0.05", "--vol", "0.2", "--vol", "0.3"},
       "", 2, {"bs-call: --vol is given 2 times; give it once"}},
      {"non-numeric argument", BsCall({"--K", "abc"}), "", 2, {"--K: 'abc' is not a number"}},
      {"trailing junk", BsCall({"--T", "1y"}), "", 2, {"--T: '1y' is not a number"}},
      {"out of range", BsCall({"--S", "1e999"}), "", 2, {"--S: '1e999' is out of range for a double"}},
      {"too small to be told from 0", BsCall({"--T", "1e-999"}), "", 2, {"--T: '1e-999' is out of range for a double"}},
      {"neither call nor put", BsCall({"--kind", "straddle"}), "", 2, {"--kind: 'straddle' is neither call nor put"}},
      {"unknown method", {"heston-call", "--S", "1", "--K", "1", "--T", "1", "--r", "0", "--v0", "1", "--theta", "1",
                          "--kappa", "1", "--sigma", "1", "--rho", "0", "--method", "slow"}, "", 2, {"slow"}},
      {"batch without --fn", {"batch"}, "S\n", 2, {"--fn is required"}},
      {"batch with an unknown export", {"batch", "--fn", "BSCall,bscall"}, "S\n", 2,
       {"batch: --fn: unknown function 'bscall'; did you mean 'BSCall'?"}},
      {"batch with a misspelt command", {"batch", "--fn", "heston-cal"}, "S\n", 2, {"did you mean 'heston-call'?"}},
      {"batch with no threads", {"batch", "--fn", "BSCall", "--threads", "0"}, "S\n", 2, {"--threads"}},
      {"batch with an unknown separator", {"batch", "--fn", "BSCall", "--sep", "|"}, "S\n", 2, {"--sep: '|' is not ',', ';' or tab"}},
      {"smile strikes reversed", smileWith("120:80:10"), "", 2, {"HI is below LO"}},
      {"smile step zero", smileWith("80:120:0"), "", 2, {"STEP positive"}},
      {"smile strikes malformed", smileWith("80:120"), "", 2, {"is not LO:HI:STEP"}},
      {"smile strikes from 0", smileWith("0:100:10"), "", 2, {"eurocall: --strikes: K = 0 is outside the model's domain"}},
  };
  for (const Case& c : cases) Check(c);
}

TEST(Errors, BatchInput) {
  const Case cases[] = {
      {"file that does not exist", {"batch", ScratchDir() + "/nope.csv", "--fn", "BSCall"}, "", 4,
       {"cannot open '" + ScratchDir() + "/nope.csv': No such file or directory"}},
      {"directory for a file", {"batch", ScratchDir(), "--fn", "BSCall"}, "", 4, {"cannot read '" + ScratchDir() + "'"}},
      {"empty file", {"batch", "$FILE", "--fn", "BSCall"}, "", 4, {"$FILE: empty input"}},
      {"only blank lines", {"batch", "--fn", "BSCall"}, "\n\r\n\n", 4, {"<stdin>: empty input"}},
      {"missing column", {"batch", "$FILE", "--fn", "BSCall,BSVol"}, "S,K,T,r,vol\n100,100,1,0.05,0.2\n", 4,
       {"$FILE:1: the header has no column 'price' (read by BSVol)"}},
      {"missing columns read by two exports", {"batch", "--fn", "BSCall,BSVol"}, "S,K,vol,price\n", 4,
       {"<stdin>:1: the header has no column 'T' (read by BSCall, BSVol)", "no column 'r'"}},
      {"column named twice", {"batch", "--fn", "BSCall"}, "S,K,T,r,vol,K\n1,2,3,4,5,6\n", 4,
       {"<stdin>:1: the header has more than one column 'K'"}},
      {"malformed header", {"batch", "--fn", "BSCall"}, "S,K,T,r,\"vol\n", 4,
       {"<stdin>:1: header: column 5: quoted field is never closed"}},
      {"a list of functions in two arguments", {"batch", "--fn", "BSCall,", "BSVol"}, "S\n", 4,
       {"cannot open 'BSVol': No such file or directory (a function? --fn takes its list as one argument"}},
      {"header of one column", {"batch", "--fn", "BSCall"}, "S|K|T|r|vol\n", 4, {"it is read as one column"}},
      {"output that cannot be written", {"batch", "--fn", "BSCall", "-o", ScratchDir() + "/no/such/dir.csv"},
       "S,K,T,r,vol\n100,100,1,0.05,0.2\n", 4, {"cannot write '" + ScratchDir() + "/no/such/dir.csv'"}},
  };
  for (const Case& c : cases) Check(c);
}

TEST(Errors, LibraryNotFoundOrIncomplete) {
  const std::string lone = LoneToolCopy();
  const std::string nearby = ScratchDir() + "/alone/" EUROCALL_LIBRARY_NAME;
  const std::string notALibrary = WriteScratchFile("not-a-library.so", "S,K\n");
  const std::vector<std::string> heston = {"heston-call", "--S", "1", "--K", "1", "--T", "1", "--r", "0", "--v0", "1",
                                           "--theta", "1", "--kappa", "1", "--sigma", "1", "--rho", "0"};
  struct LibraryCase {
    Case c;
    std::string library;  // EUROCALL_LIBRARY, or unset if empty
  };
  const LibraryCase cases[] = {
      {{"nothing anywhere", BsCall({}), "", 3,
        {"cannot load the eurocall library; tried:", nearby + " (next to the tool): no such file", "(installed tree): no such file"}}, ""},
      {{"variable names a missing file", BsCall({}), "", 3, {"/missing.so (EUROCALL_LIBRARY): no such file"}},
       ScratchDir() + "/missing.so"},
      {{"variable names a directory without the library", BsCall({}), "", 3,
        {ScratchDir() + "/" EUROCALL_LIBRARY_NAME " (in the directory EUROCALL_LIBRARY): no such file"}},
       ScratchDir()},
      {{"variable names a file that is no library", BsCall({}), "", 3, {notALibrary + " (EUROCALL_LIBRARY): "}}, notALibrary},
      {{"export missing", heston, "", 3, {"the library " EUROCALL_STUB_LIBRARY " does not export HestonCall_exact"}},
       EUROCALL_STUB_LIBRARY},
      {{"export missing, default table", {}, "", 3, {"does not export BSVol, HestonCall_exact, HestonCall_fast, HestonVol_exact"}},
       EUROCALL_STUB_LIBRARY},
      {{"export missing, batch", {"batch", "--fn", "BSCall,theIntegrand"}, "S,K,T,r,vol\n", 3,
        {EUROCALL_STUB_LIBRARY " does not export theIntegrand"}}, EUROCALL_STUB_LIBRARY},
  };
  for (const LibraryCase& lc : cases) {
    RunOptions options;
    options.tool = lone;
    if (!lc.library.empty()) options.env["EUROCALL_LIBRARY"] = lc.library;
    Check(lc.c, options);
  }
  // --version still names the tool, then says the library is missing.
  RunOptions options;
  options.tool = lone;
  const Outcome version = RunTool({"--version"}, options);
  EXPECT_EQ(version.status, 3);
  EXPECT_EQ(version.out, "eurocall " EUROCALL_VERSION "\n");
  EXPECT_NE(version.err.find("cannot load the eurocall library"), std::string::npos) << version.err;
}

}  // namespace
}  // namespace eurocall::testing
