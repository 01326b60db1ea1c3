// SPDX-License-Identifier: Apache-2.0
// smile: one row per strike with the library's Heston volatilities, and a drawing.
#include <cmath>
#include <cstdio>

#include <gtest/gtest.h>

#include "support/Ulps.h"
#include "SvgRendering.h"
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

TEST(Smile, UnresolvedAndSentinelVolatilitiesAreNotedAndLeftOutOfTheDrawing) {
  // At T = 0.05 and sigma = 0.5 the exact price beyond K = 125 comes out as 0: its
  // volatility, the bracket's lower end 0.001, resolves nothing.
  const std::vector<std::string> market = {"smile", "--S", "100", "--T", "0.05", "--r", "0.05", "--v0", "0.04",
                                           "--theta", "0.04", "--kappa", "1.5", "--sigma", "0.5", "--rho", "-0.7",
                                           "--strikes", "80:130:5"};
  const std::string svg = ScratchDir() + "/unresolved.svg";
  std::vector<std::string> args = market;
  args.insert(args.end(), {"--svg", svg});
  const Outcome o = RunTool(args);
  ASSERT_EQ(o.status, 0) << o.err;
  const auto rows = ReadCsv(o.out);
  ASSERT_EQ(rows.size(), 12u);
  EXPECT_EQ(rows[11][0], "130");
  EXPECT_EQ(rows[11][1], "0.001");
  EXPECT_NE(rows[11][3].find("HestonVol_exact: unresolved: the price is below what the volatility bracket's lower end "
                             "0.001 distinguishes"),
            std::string::npos)
      << rows[11][3];
  std::size_t leftOut = 0;
  for (std::size_t i = 1; i < rows.size(); ++i) {
    leftOut += Count(rows[i][3], "unresolved") + Count(rows[i][3], " = ");
  }
  const std::string drawing = ReadFile(svg);
  EXPECT_EQ(Count(drawing, "<circle "), 2 * 11 - leftOut);
  EXPECT_NE(drawing.find("Left out: " + std::to_string(leftOut) + " points whose volatility is a sentinel or unresolved"),
            std::string::npos);
  EXPECT_NE(o.err.find("eurocall: note: the drawing leaves out " + std::to_string(leftOut) + " points"), std::string::npos)
      << o.err;
}

TEST(Smile, TheDrawingKeepsEveryTextInsideItsCanvas) {
  if (!CanRender()) GTEST_SKIP() << "rsvg-convert or libpng was not found when the tests were built";
  // An index option as a desk would type it: long numbers make a long title.
  const std::vector<std::string> index = {"smile", "--S", "4523.25", "--T", "0.2465753424657534", "--r", "0.0525",
                                          "--q", "0.0135", "--v0", "0.0231", "--theta", "0.0324", "--kappa", "2.25",
                                          "--sigma", "0.61", "--rho", "-0.73", "--strikes", "3800:5200:50"};
  struct Case {
    std::string what;
    std::vector<std::string> extra;
    std::string axis;     // the strike axis' label
    long double forward;  // S e^((r-q)T)
  };
  const Case cases[] = {
      {"index points", {"--unit", "index points"}, "strike K (index points)",
       4523.25L * std::exp((0.0525L - 0.0135L) * 0.2465753424657534L)},
      {"no unit given", {}, "strike K (in the unit of S)", 4523.25L * std::exp((0.0525L - 0.0135L) * 0.2465753424657534L)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string svg = ScratchDir() + "/index.svg";
    std::vector<std::string> args = index;
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    args.insert(args.end(), {"--svg", svg, "--method", "fast"});
    const Outcome o = RunTool(args);
    ASSERT_EQ(o.status, 0) << o.err;
    const std::string drawing = ReadFile(svg);
    EXPECT_NE(drawing.find(">" + c.axis + "</text>"), std::string::npos);
    char forward[64];
    std::snprintf(forward, sizeof forward, ">forward %.6Lg</text>", c.forward);
    EXPECT_NE(drawing.find(forward), std::string::npos) << forward;
    EXPECT_EQ(Count(drawing, "class=\"marker\""), 1u);

    // Nothing is drawn beyond the canvas, where a viewer would cut it off.
    constexpr int kMargin = 200;
    std::string why;
    const auto whole = RenderBeyondTheCanvas(drawing, kMargin, &why);
    ASSERT_TRUE(whole) << why;
    const InkBox ink = Ink(*whole);
    EXPECT_EQ(ink.left, kMargin);
    EXPECT_EQ(ink.top, kMargin);
    EXPECT_EQ(ink.right, kMargin + whole->canvasWidth - 1);
    EXPECT_EQ(ink.bottom, kMargin + whole->canvasHeight - 1);

    // The title is what a drawing without it lacks: there, and inside the canvas with
    // room to spare.
    const std::size_t begin = drawing.find("<g id=\"title\">"), end = drawing.find("</g>", begin);
    ASSERT_NE(begin, std::string::npos);
    const auto untitled = RenderBeyondTheCanvas(drawing.substr(0, begin) + drawing.substr(end + 4), kMargin, &why);
    ASSERT_TRUE(untitled) << why;
    const InkBox title = Difference(*whole, *untitled);
    ASSERT_FALSE(title.empty());
    EXPECT_GE(title.left, kMargin + 4);
    EXPECT_LE(title.right, kMargin + whole->canvasWidth - 5);
    EXPECT_GE(title.top, kMargin + 4);
    EXPECT_GT(title.right - title.left, whole->canvasWidth / 2);  // the long line is there
  }
}

}  // namespace
}  // namespace eurocall::testing
