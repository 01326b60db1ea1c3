// SPDX-License-Identifier: Apache-2.0
// The default table and the one-export commands: every printed number is the shortest
// text that reads back to exactly what the library returns for the same arguments.
#include <cmath>
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

#include "support/Ulps.h"
#include "ToolHarness.h"

namespace eurocall::testing {
namespace {

const std::vector<std::string> kHestonExports = {"HestonCall_exact", "HestonCall_fast", "HestonVol_exact",
                                                 "HestonVol_fast",   "RealIntegrand_j0", "RealIntegrand_j1",
                                                 "theIntegrand"};

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

TEST(DefaultTable, EveryExportOnTheBuiltInRequest) {
  if (!Exports(kHestonExports)) GTEST_SKIP() << "the library does not export the Heston functions yet";
  const Outcome o = RunTool({});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.err, "");
  const std::vector<std::string> lines = SplitLines(o.out);
  ASSERT_EQ(lines.size(), 10u) << o.out;
  EXPECT_EQ(Words(lines[0]), (std::vector<std::string>{"export", "arguments", "result"}));

  const double S = 100, K = 100, T = 1, r = 0.05, vol = 0.2;
  const double v0 = 0.04, theta = 0.04, kappa = 1.5, sigma = 0.3, rho = -0.7, phi = 1;
  const double x = std::log(std::exp(r * T) * S / K);
  const double price = Library().Call("BSCall", {S, K, T, r, vol});
  struct Row {
    std::string name;
    std::vector<std::pair<std::string, double>> args;  // in the library's order
  };
  const Row rows[] = {
      {"BSCall", {{"S", S}, {"K", K}, {"T", T}, {"r", r}, {"vol", vol}}},
      {"BSVol", {{"S", S}, {"K", K}, {"T", T}, {"r", r}, {"price", price}}},
      {"HestonCall_exact", {{"S", S}, {"K", K}, {"T", T}, {"r", r}, {"v0", v0}, {"theta", theta}, {"kappa", kappa}, {"sigma", sigma}, {"rho", rho}}},
      {"HestonCall_fast", {{"S", S}, {"K", K}, {"T", T}, {"r", r}, {"v0", v0}, {"theta", theta}, {"kappa", kappa}, {"sigma", sigma}, {"rho", rho}}},
      {"HestonVol_exact", {{"S", S}, {"K", K}, {"T", T}, {"r", r}, {"v0", v0}, {"theta", theta}, {"kappa", kappa}, {"sigma", sigma}, {"rho", rho}}},
      {"HestonVol_fast", {{"S", S}, {"K", K}, {"T", T}, {"r", r}, {"v0", v0}, {"theta", theta}, {"kappa", kappa}, {"sigma", sigma}, {"rho", rho}}},
      {"RealIntegrand_j0", {{"x", x}, {"T", T}, {"theta", theta}, {"v0", v0}, {"kappa", kappa}, {"sigma", sigma}, {"rho", rho}, {"phi", phi}}},
      {"RealIntegrand_j1", {{"x", x}, {"T", T}, {"theta", theta}, {"v0", v0}, {"kappa", kappa}, {"sigma", sigma}, {"rho", rho}, {"phi", phi}}},
      {"theIntegrand", {{"x", x}, {"T", T}, {"v0", v0}, {"theta", theta}, {"kappa", kappa}, {"sigma", sigma}, {"rho", rho}, {"phi", phi}}},
  };
  const std::size_t argumentsColumn = lines[0].find("arguments"), resultColumn = lines[0].find("result");
  std::map<std::string, double> printed;
  for (std::size_t i = 0; i < 9; ++i) {
    const Row& row = rows[i];
    const std::string& line = lines[i + 1];
    SCOPED_TRACE(line);
    EXPECT_EQ(line.find(row.args[0].first + "="), argumentsColumn);
    const std::vector<std::string> words = Words(line);
    ASSERT_EQ(words.size(), row.args.size() + 2);
    EXPECT_EQ(words[0], row.name);
    std::vector<double> args;
    for (std::size_t a = 0; a < row.args.size(); ++a) {
      const std::string& word = words[a + 1];
      const auto eq = word.find('=');
      EXPECT_EQ(word.substr(0, eq), row.args[a].first);
      EXPECT_TRUE(IsShortestRoundTrip(word.substr(eq + 1), row.args[a].second)) << word;
      args.push_back(row.args[a].second);
    }
    EXPECT_EQ(line.rfind(words.back()), resultColumn);
    const double expected = Library().Call(row.name, args);
    EXPECT_TRUE(IsShortestRoundTrip(words.back(), expected)) << words.back() << " vs " << Show(expected);
    printed[row.name] = ParseNumber(words.back()).value_or(NAN);
  }
  // Worked values.
  EXPECT_TRUE(WithinUlps(printed["BSCall"], 10.450583572185558, 4));
  EXPECT_TRUE(WithinUlps(printed["BSVol"], 0.20000000000001211, 4));
  EXPECT_NEAR(printed["HestonCall_exact"], 10.361869020966109, 1e-7);
}

struct SingleCase {
  std::vector<std::string> args;
  std::string exportName;
  std::vector<double> libraryArgs;  // the same arguments in the library's order
};

void CheckSingle(const SingleCase& c) {
  SCOPED_TRACE(c.args[0] + " -> " + c.exportName);
  const Outcome o = RunTool(c.args);
  ASSERT_EQ(o.status, 0) << o.err;
  ASSERT_FALSE(o.out.empty());
  ASSERT_EQ(o.out.back(), '\n');
  const std::string text = o.out.substr(0, o.out.size() - 1);
  const double expected = Library().Call(c.exportName, c.libraryArgs);
  EXPECT_TRUE(IsShortestRoundTrip(text, expected)) << text << " vs " << Show(expected);
}

TEST(SingleCommands, BlackScholesPrintTheLibrarysResult) {
  const SingleCase cases[] = {
      {{"bs-call", "--S", "100", "--K", "100", "--T", "1", "--r", "0.05", "--vol", "0.2"}, "BSCall", {100, 100, 1, 0.05, 0.2}},
      // Option order is free; the tool puts each argument in its place.
      {{"bs-call", "--vol", "0.35", "--r", "0.01", "--T", "0.25", "--K", "90", "--S", "101.5"}, "BSCall", {101.5, 90, 0.25, 0.01, 0.35}},
      // NaN is outside the model's domain: --raw lets it through to the library.
      {{"bs-call", "--S", "100", "--K", "100", "--T", "1", "--r", "0.05", "--vol=nan", "--raw"}, "BSCall", {100, 100, 1, 0.05, NAN}},
      {{"bs-vol", "--S", "100", "--K", "100", "--T", "1", "--r", "0.05", "--price", "10.450583572185558"}, "BSVol", {100, 100, 1, 0.05, 10.450583572185558}},
      {{"bs-vol", "--S", "100", "--K", "120", "--T", "0.5", "--r", "0.01", "--price", "1e-20"}, "BSVol", {100, 120, 0.5, 0.01, 1e-20}},  // 0: rejected
      {{"bs-vol", "--S", "100", "--K", "100", "--T", "1", "--r", "0", "--price", "90"}, "BSVol", {100, 100, 1, 0, 90}},  // 2: beyond the bracket
  };
  for (const SingleCase& c : cases) CheckSingle(c);

  // Worked values, and the sentinels passed through with a note on standard error.
  auto printed = [](const Outcome& o) { return ParseNumber(o.out.substr(0, o.out.size() - 1)).value_or(NAN); };
  EXPECT_TRUE(WithinUlps(printed(RunTool(cases[0].args)), 10.450583572185558, 4));
  EXPECT_TRUE(WithinUlps(printed(RunTool(cases[3].args)), 0.20000000000001211, 4));
  const Outcome rejected = RunTool(cases[4].args);
  EXPECT_EQ(rejected.out, "0\n");
  EXPECT_NE(rejected.err.find("sentinel 0 = price rejected"), std::string::npos) << rejected.err;
  const Outcome outside = RunTool(cases[5].args);
  EXPECT_EQ(outside.out, "2\n");
  EXPECT_NE(outside.err.find("sentinel 2"), std::string::npos) << outside.err;
}

TEST(SingleCommands, HestonAndIntegrandsPrintTheLibrarysResult) {
  const std::vector<std::string> typical = {"--S", "100", "--K", "100", "--T", "1", "--r", "0.05", "--v0", "0.04",
                                            "--theta", "0.04", "--kappa", "1.5", "--sigma", "0.3", "--rho", "-0.7"};
  const std::vector<double> typicalArgs = {100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7};
  auto with = [&](std::string command, std::vector<std::string> extra) {
    std::vector<std::string> a = {command};
    a.insert(a.end(), typical.begin(), typical.end());
    a.insert(a.end(), extra.begin(), extra.end());
    return a;
  };
  // v0 and theta differ, so an exchanged pair cannot go unnoticed.
  const std::vector<std::string> integrand = {"--x", "-0.2", "--T", "0.5", "--v0", "0.09", "--theta", "0.04",
                                              "--kappa", "2", "--sigma", "0.6", "--rho", "0.3", "--phi", "0.75"};
  auto integrandCommand = [&](std::string command) {
    std::vector<std::string> a = {command};
    a.insert(a.end(), integrand.begin(), integrand.end());
    return a;
  };
  const SingleCase cases[] = {
      {with("heston-call", {}), "HestonCall_exact", typicalArgs},
      {with("heston-call", {"--method", "exact"}), "HestonCall_exact", typicalArgs},
      {with("heston-call", {"--method", "fast"}), "HestonCall_fast", typicalArgs},
      {with("heston-vol", {}), "HestonVol_exact", typicalArgs},
      {with("heston-vol", {"--method=fast"}), "HestonVol_fast", typicalArgs},
      {{"heston-call", "--S", "100", "--K", "110", "--T", "0.5", "--r", "0.03", "--v0", "0.04", "--theta", "0.05",
        "--kappa", "2", "--sigma", "0.4", "--rho", "-0.6", "--method", "fast"},
       "HestonCall_fast", {100, 110, 0.5, 0.03, 0.04, 0.05, 2, 0.4, -0.6}},
      {integrandCommand("integrand"), "theIntegrand", {-0.2, 0.5, 0.09, 0.04, 2, 0.6, 0.3, 0.75}},
      // The real integrands take theta before v0.
      {integrandCommand("real-integrand-j0"), "RealIntegrand_j0", {-0.2, 0.5, 0.04, 0.09, 2, 0.6, 0.3, 0.75}},
      {integrandCommand("real-integrand-j1"), "RealIntegrand_j1", {-0.2, 0.5, 0.04, 0.09, 2, 0.6, 0.3, 0.75}},
  };
  std::string notYet;
  for (const SingleCase& c : cases) {
    if (Library().Has(c.exportName)) {
      CheckSingle(c);
    } else if (notYet.find(c.exportName) == std::string::npos) {
      notYet += " " + c.exportName;
    }
  }

  // Worked values.
  auto printed = [](const Outcome& o) { return ParseNumber(o.out.substr(0, o.out.size() - 1)).value_or(NAN); };
  if (Library().Has("HestonCall_exact")) {
    EXPECT_NEAR(printed(RunTool(cases[0].args)), 10.361869020966109, 1e-7);
  }
  if (Library().Has("HestonCall_fast")) {
    EXPECT_NEAR(printed(RunTool(cases[2].args)), 10.361869020966109, 1e-7);
  }
  if (Library().Has("theIntegrand")) {
    EXPECT_NEAR(printed(RunTool(cases[6].args)), 0.06819789125, 5e-12);
  }
  if (!notYet.empty()) GTEST_SKIP() << "the library does not export" << notYet << " yet";
}

TEST(Help, TheToolAndEverySubCommandDescribeTheirOptions) {
  struct Case {
    std::string command;
    std::vector<std::string> options;
  };
  const Case cases[] = {
      {"", {"--version", "bs-call", "bs-vol", "heston-call", "heston-vol", "real-integrand-j0", "real-integrand-j1", "integrand", "batch", "smile", "EUROCALL_LIBRARY"}},
      {"bs-call", {"--S", "--K", "--T", "--r", "--vol", "--kind", "--q", "--raw"}},
      {"bs-vol", {"--S", "--K", "--T", "--r", "--price", "--kind", "--q", "--raw"}},
      {"heston-call", {"--S", "--K", "--T", "--r", "--v0", "--theta", "--kappa", "--sigma", "--rho", "--method", "--kind", "--q"}},
      {"heston-vol", {"--S", "--K", "--T", "--r", "--v0", "--theta", "--kappa", "--sigma", "--rho", "--method", "--q"}},
      {"real-integrand-j0", {"--x", "--T", "--theta", "--v0", "--kappa", "--sigma", "--rho", "--phi"}},
      {"real-integrand-j1", {"--x", "--T", "--theta", "--v0", "--kappa", "--sigma", "--rho", "--phi"}},
      {"integrand", {"--x", "--T", "--v0", "--theta", "--kappa", "--sigma", "--rho", "--phi"}},
      {"batch", {"FILE", "--output", "--threads", "--fn", "--method", "--sep", "HestonVol_fast", "heston-vol", "kind", "note",
                 "error", "streamed"}},
      {"smile", {"--S", "--T", "--r", "--q", "--v0", "--theta", "--kappa", "--sigma", "--rho", "--strikes", "--method",
                 "--svg", "--unit", "forward"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    std::vector<std::string> args;
    if (!c.command.empty()) args.push_back(c.command);
    args.push_back("--help");
    const Outcome o = RunTool(args);
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.out.find("Usage: eurocall" + (c.command.empty() ? "" : " " + c.command)), std::string::npos) << o.out;
    for (const std::string& option : c.options) EXPECT_NE(o.out.find(option), std::string::npos) << option;
  }
}

TEST(LibraryLookup, EurocallLibraryFirstThenNextToTheTool) {
  // Unset, the tool takes the library beside it.
  const Outcome beside = RunTool({"--version"});
  EXPECT_EQ(beside.status, 0) << beside.err;
  EXPECT_EQ(beside.out, "eurocall " EUROCALL_VERSION "\nlibrary " EUROCALL_LIBRARY_SONAME_FILE "\n");

  // Set, it takes the file the variable names, even with a library beside it, and calls
  // BSCall there by name.
  for (const std::string& tool : {std::string(EUROCALL_TOOL), LoneToolCopy()}) {
    SCOPED_TRACE(tool);
    RunOptions stub{"", {{"EUROCALL_LIBRARY", EUROCALL_STUB_LIBRARY}}, tool};
    const Outcome version = RunTool({"--version"}, stub);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "eurocall " EUROCALL_VERSION "\nlibrary " EUROCALL_STUB_LIBRARY "\n");
    EXPECT_NE(version.err.find("does not export BSVol, HestonCall_exact, HestonCall_fast"), std::string::npos)
        << version.err;
    const Outcome call = RunTool({"bs-call", "--S", "3", "--K", "7", "--T", "1", "--r", "0", "--vol", "0.2"}, stub);
    EXPECT_EQ(call.status, 0);
    EXPECT_EQ(call.out, "3007\n");
  }

  // Or the directory that holds the library.
  const std::string directory = std::filesystem::path(EUROCALL_LIBRARY_SONAME_FILE).parent_path().string();
  const Outcome fromDirectory = RunTool({"--version"}, {"", {{"EUROCALL_LIBRARY", directory}}, LoneToolCopy()});
  EXPECT_EQ(fromDirectory.status, 0) << fromDirectory.err;
  EXPECT_EQ(fromDirectory.out, "eurocall " EUROCALL_VERSION "\nlibrary " EUROCALL_LIBRARY_SONAME_FILE "\n");
}

}  // namespace
}  // namespace eurocall::testing
