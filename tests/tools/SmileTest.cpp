// smile: one row per strike with the library's Heston volatilities, and a drawing.
#include <gtest/gtest.h>

#include "support/Ulps.h"
#include "ToolHarness.h"

namespace eurocall::testing {
namespace {

const std::vector<std::string> kMarket = {"--S", "100", "--T", "1", "--r", "0.05", "--v0", "0.04", "--theta", "0.04",
                                          "--kappa", "1.5", "--sigma", "0.3", "--rho", "-0.7"};

std::vector<std::string> Smile(std::vector<std::string> extra) {
  std::vector<std::string> a = {"smile"};
  a.insert(a.end(), kMarket.begin(), kMarket.end());
  a.insert(a.end(), extra.begin(), extra.end());
  return a;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

TEST(Smile, EveryStrikeWithTheLibrarysVolatilities) {
  if (!Exports({"HestonVol_exact", "HestonVol_fast"})) GTEST_SKIP() << "the library does not export HestonVol yet";
  struct Case {
    std::string strikes, method;
    std::vector<double> K;  // LO + i STEP
    std::vector<std::string> columns;
  };
  const Case cases[] = {
      {"80:120:10", "both", {80, 90, 100, 110, 120}, {"HestonVol_exact", "HestonVol_fast"}},
      {"99:100:0.25", "fast", {99, 99.25, 99.5, 99.75, 100}, {"HestonVol_fast"}},
      // 0.1 is not exact: the last strike still is HI, each strike is LO + i * STEP.
      {"90:90.5:0.1", "exact", {90, 90 + 1 * 0.1, 90 + 2 * 0.1, 90 + 3 * 0.1, 90 + 4 * 0.1, 90 + 5 * 0.1}, {"HestonVol_exact"}},
      {"100:100:1", "both", {100}, {"HestonVol_exact", "HestonVol_fast"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.strikes + " " + c.method);
    const Outcome o = RunTool(Smile({"--strikes", c.strikes, "--method", c.method}));
    ASSERT_EQ(o.status, 0) << o.err;
    const auto rows = ReadCsv(o.out);
    ASSERT_EQ(rows.size(), c.K.size() + 1) << o.out;
    std::vector<std::string> header = {"K"};
    header.insert(header.end(), c.columns.begin(), c.columns.end());
    header.push_back("note");
    EXPECT_EQ(rows[0], header);
    for (std::size_t i = 0; i < c.K.size(); ++i) {
      EXPECT_TRUE(IsShortestRoundTrip(rows[i + 1][0], c.K[i])) << rows[i + 1][0];
      for (std::size_t j = 0; j < c.columns.size(); ++j) {
        const double expected = Library().Call(c.columns[j], {100, c.K[i], 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7});
        EXPECT_TRUE(IsShortestRoundTrip(rows[i + 1][j + 1], expected)) << rows[i + 1][j + 1] << " vs " << Show(expected);
      }
      EXPECT_EQ(rows[i + 1].back(), "");
    }
  }
}

TEST(Smile, DrawsOneLineAndOneMarkerPerStrikeForEachMethod) {
  if (!Exports({"HestonVol_exact", "HestonVol_fast"})) GTEST_SKIP() << "the library does not export HestonVol yet";
  const std::string svg = ScratchDir() + "/smile.svg";
  const Outcome o = RunTool(Smile({"--strikes", "70:130:5", "--svg", svg}));
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(ReadCsv(o.out).size(), 14u);
  const std::string drawing = ReadFile(svg);
  EXPECT_EQ(drawing.rfind("<?xml", 0), 0u);
  EXPECT_NE(drawing.find("<svg xmlns=\"http://www.w3.org/2000/svg\""), std::string::npos);
  EXPECT_EQ(drawing.substr(drawing.size() - 7), "</svg>\n");
  EXPECT_EQ(Count(drawing, "<polyline "), 2u);
  EXPECT_EQ(Count(drawing, "<circle "), 2u * 13);
  EXPECT_NE(drawing.find(">HestonVol_exact</text>"), std::string::npos);
  EXPECT_NE(drawing.find(">HestonVol_fast</text>"), std::string::npos);
  EXPECT_EQ(Count(drawing, "<"), Count(drawing, ">"));
}

}  // namespace
}  // namespace eurocall::testing
