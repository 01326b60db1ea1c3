// SPDX-License-Identifier: Apache-2.0
// calibrate: a small surface priced by the library from known parameters is fitted back,
// with the per-quote table and the drawing; unusable quotes are left out and named.
#include <cmath>
#include <map>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "ToolHarness.h"

namespace eurocall::testing {
namespace {

// A smile with positive correlation, well conditioned: the Python suite recovers these
// parameters from independent prices to about 1e-7.
const std::vector<double> kTruth = {0.09, 0.04, 2.0, 0.6, 0.3};
const char* const kNames[] = {"v0", "theta", "kappa", "sigma", "rho"};

// Prices at S = 100, r = 0.05 from HestonCall_exact, 3 maturities x 5 strikes: puts
// (by parity) at the two lowest strikes, calls elsewhere, as a kind column says.
std::string SyntheticQuotes(const std::string& extraRows = "") {
  std::ostringstream csv;
  csv.precision(17);
  csv << "T,K,price,kind\n";
  for (double T : {0.25, 1.0, 2.0}) {
    for (double K : {80.0, 90.0, 100.0, 110.0, 120.0}) {
      std::vector<double> args = {100, K, T, 0.05};
      args.insert(args.end(), kTruth.begin(), kTruth.end());
      const double call = Library().Call("HestonCall_exact", args);
      if (K < 95) {
        csv << T << "," << K << "," << (call - 100) + std::exp(-(T * 0.05)) * K << ",put\n";
      } else {
        csv << T << "," << K << "," << call << ",call\n";
      }
    }
  }
  return csv.str() + extraRows;
}

// "name value" lines of the tool's report.
std::map<std::string, std::string> Report(const std::string& out) {
  std::map<std::string, std::string> fields;
  for (const std::string& line : SplitLines(out)) {
    const auto space = line.find(' ');
    if (space != std::string::npos) fields[line.substr(0, space)] = line.substr(space + 1);
  }
  return fields;
}

TEST(Calibrate, RecoversTheParametersThatPricedTheSurface) {
  if (!Exports({"HestonCall_exact", "HestonCall_fast", "BSVol"})) GTEST_SKIP() << "needs the Heston exports";
  const std::string quotes = WriteScratchFile("synthetic_quotes.csv", SyntheticQuotes());
  const std::string table = ScratchDir() + "/fit.csv", svg = ScratchDir() + "/fit.svg";
  const Outcome o = RunTool({"calibrate", quotes, "--S", "100", "--r", "0.05", "-o", table, "--svg", svg});
  ASSERT_EQ(o.status, 0) << o.out << o.err;
  EXPECT_EQ(o.err, "");
  EXPECT_NE(o.out.find("converged: "), std::string::npos) << o.out;
  const auto report = Report(o.out);
  for (std::size_t j = 0; j < kTruth.size(); ++j) {
    ASSERT_TRUE(report.count(kNames[j])) << o.out;
    const auto value = ParseNumber(report.at(kNames[j]));
    ASSERT_TRUE(value) << report.at(kNames[j]);
    EXPECT_NEAR(*value, kTruth[j], 1e-5 * std::fabs(kTruth[j])) << kNames[j];
  }
  const auto rows = ReadCsv(ReadFile(table));
  ASSERT_EQ(rows.size(), 16u);
  EXPECT_EQ(rows[0][0], "line");
  std::set<std::string> options;
  for (std::size_t i = 1; i < rows.size(); ++i) {
    options.insert(rows[i][5]);
    EXPECT_LT(std::fabs(*ParseNumber(rows[i][8])), 1e-5) << "vol error in points, row " << i;
  }
  EXPECT_EQ(options, (std::set<std::string>{"call", "put"}));
  // One legend entry, and one colour, per maturity.
  const std::string drawing = ReadFile(svg);
  for (const char* T : {"T = 0.25", "T = 1<", "T = 2<"}) EXPECT_NE(drawing.find(T), std::string::npos) << T;
}

TEST(Calibrate, UnusableQuotesAreLeftOutAndNamed) {
  if (!Exports({"HestonCall_exact", "BSVol"})) GTEST_SKIP() << "needs the Heston exports";
  const std::string quotes = WriteScratchFile(
      "quotes_with_bad_rows.csv", SyntheticQuotes("0,100,5,call\n1,abc,5,call\n1,100,150,call\n0.1,300,1e-16,call\n"));
  const Outcome o = RunTool({"calibrate", quotes, "--S", "100", "--r", "0.05"});
  EXPECT_EQ(o.status, 1) << o.err;
  EXPECT_NE(o.out.find("quotes fitted 15 of 19"), std::string::npos) << o.out;
  for (const char* words : {"left out line 17: T = 0", "left out line 18: K: 'abc' is not a number",
                            "left out line 19: price 150: no volatility in [0.001, 2] resolves it (above",
                            "left out line 20: price 1e-16: no volatility in [0.001, 2] resolves it (below"}) {
    EXPECT_NE(o.err.find(words), std::string::npos) << words << "\n" << o.err;
  }
  EXPECT_NEAR(*ParseNumber(Report(o.out).at("rho")), 0.3, 1e-5);
}

TEST(Calibrate, MissingColumnsAndMarketDataAreRefused) {
  struct Case {
    std::string csv;
    std::vector<std::string> args;
    int status;
    std::string words;
  };
  const Case cases[] = {
      {"T,K\n1,100\n", {"--S", "100", "--r", "0"}, 4, "lack the column(s) vol-or-price"},
      {"T,K,vol\n1,100,0.2\n", {"--S", "100"}, 4, "lack the column(s) r (or --r)"},
      {"T,K,vol\n1,100,0.2\n", {"--S", "-1", "--r", "0"}, 2, "--S: S = -1 is outside the model's domain"},
      {"T,K,vol\n1,100,0.2\n1,110,0.2\n", {"--S", "100", "--r", "0"}, 4, "2 usable quotes cannot fix the 5 parameters"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words);
    std::vector<std::string> args = {"calibrate", WriteScratchFile("refused.csv", c.csv)};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome o = RunTool(args);
    EXPECT_EQ(o.status, c.status);
    EXPECT_NE(o.err.find(c.words), std::string::npos) << o.err;
  }
}

}  // namespace
}  // namespace eurocall::testing
