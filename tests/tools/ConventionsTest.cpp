// SPDX-License-Identifier: Apache-2.0
// What the tool adds around the exports, in every command that computes: the model's
// domain checked before the library sees an argument, puts and a dividend yield by
// parity on the forward-equivalent spot, and the word on an unresolved volatility.
#include <cmath>

#include <gtest/gtest.h>

#include "support/Ulps.h"
#include "ToolHarness.h"

namespace eurocall::testing {
namespace {

const std::vector<std::string> kBsCall = {"bs-call", "--S", "100", "--K", "100", "--T", "1", "--r", "0.05", "--vol", "0.2"};
const std::vector<std::string> kHestonCall = {"heston-call", "--S", "100", "--K", "100", "--T", "1", "--r", "0.05",
                                              "--v0", "0.04", "--theta", "0.04", "--kappa", "1.5", "--sigma", "0.3",
                                              "--rho", "-0.7"};

double Printed(const Outcome& o) {
  return o.out.empty() ? NAN : ParseNumber(o.out.substr(0, o.out.size() - 1)).value_or(NAN);
}

TEST(Domain, OneExportCommandsRefuseArgumentsOutsideItUnlessRaw) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
    std::string exportName;
    std::vector<double> libraryArgs;  // what --raw hands the library
  };
  const Case cases[] = {
      {WithOptions(kBsCall, {"--vol", "-0.2"}), "vol = -0.2 is outside the model's domain (vol finite and >= 0)", "BSCall",
       {100, 100, 1, 0.05, -0.2}},
      {WithOptions(kBsCall, {"--S", "0"}), "S = 0 is outside the model's domain (S finite and > 0)", "BSCall", {0, 100, 1, 0.05, 0.2}},
      {WithOptions(kBsCall, {"--T", "-1"}), "T = -1 is outside", "BSCall", {100, 100, -1, 0.05, 0.2}},
      {WithOptions(kBsCall, {"--r", "inf"}), "r = inf is outside the model's domain (r finite)", "BSCall", {100, 100, 1, INFINITY, 0.2}},
      {{"bs-vol", "--S", "100", "--K", "100", "--T", "1", "--r", "0.05", "--price", "-3"}, "price = -3 is outside", "BSVol",
       {100, 100, 1, 0.05, -3}},
      {WithOptions(kHestonCall, {"--rho", "1.5"}), "rho = 1.5 is outside the model's domain (rho in [-1, 1])", "HestonCall_exact",
       {100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, 1.5}},
      {WithOptions(kHestonCall, {"--v0", "nan"}), "v0 = nan is outside the model's domain (v0 finite and >= 0)",
       "HestonCall_exact", {100, 100, 1, 0.05, NAN, 0.04, 1.5, 0.3, -0.7}},
      {WithOptions(kHestonCall, {"--sigma", "-0.3", "--method", "fast"}), "sigma = -0.3 is outside", "HestonCall_fast",
       {100, 100, 1, 0.05, 0.04, 0.04, 1.5, -0.3, -0.7}},
      {{"integrand", "--x", "nan", "--T", "0.5", "--v0", "0.09", "--theta", "0.04", "--kappa", "2", "--sigma", "0.6",
        "--rho", "0.3", "--phi", "0.75"},
       "x = nan is outside the model's domain (x finite)", "theIntegrand", {NAN, 0.5, 0.09, 0.04, 2, 0.6, 0.3, 0.75}},
      {WithOptions(kBsCall, {"--q", "nan"}), "q = nan is outside", "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    const Outcome refused = RunTool(c.args);
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.err.find("eurocall: " + c.message), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("--raw"), std::string::npos) << refused.err;
    if (c.exportName.empty()) continue;
    std::vector<std::string> raw = c.args;
    raw.push_back("--raw");
    const Outcome asIs = RunTool(raw);
    EXPECT_EQ(asIs.status, 0) << asIs.err;
    const double expected = Library().Call(c.exportName, c.libraryArgs);
    EXPECT_TRUE(IsShortestRoundTrip(asIs.out.substr(0, asIs.out.size() - 1), expected)) << asIs.out << " vs " << Show(expected);
  }
}

TEST(Domain, BatchNotesTheRowAndLeavesItsResultsEmpty) {
  const std::string csv =
      "S,K,T,r,vol,price,kind,q\n"
      "100,100,1,0.05,0.2,10,call,0\n"
      "100,100,1,0.05,-0.2,10,call,0\n"
      "100,0,1,0.05,0.2,10,put,0\n"
      "100,100,1,0.05,0.2,-1,call,0\n"
      "100,100,1,0.05,0.2,10,call,inf\n"
      "100,100,1,0.05,0.2,10,straddle,0\n";
  const Outcome o = RunTool({"batch", "--fn", "BSCall,BSVol"}, WithInput(csv));
  EXPECT_EQ(o.status, 1);
  const auto rows = ReadCsv(o.out);
  ASSERT_EQ(rows.size(), 7u) << o.out;
  EXPECT_EQ(rows[0].back(), "error");
  struct Expected {
    std::string note, error;
  };
  const Expected expected[] = {
      {"", ""},
      {"vol = -0.2 is outside the model's domain (vol finite and >= 0)", ""},
      {"K = 0 is outside the model's domain (K finite and > 0)", ""},
      {"price = -1 is outside the model's domain (price finite and >= 0)", ""},
      {"q = inf is outside the model's domain (q finite)", ""},
      {"", "line 7: column 7 (kind): 'straddle' is neither call nor put"},
  };
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    const auto& row = rows[i + 1];
    ASSERT_EQ(row.size(), 12u);
    EXPECT_EQ(row[10], expected[i].note);
    EXPECT_EQ(row[11], expected[i].error);
    const bool computed = expected[i].note.empty() && expected[i].error.empty();
    EXPECT_EQ(row[8].empty(), !computed);
    EXPECT_EQ(row[9].empty(), !computed);
    if (!expected[i].note.empty()) {
      EXPECT_NE(o.err.find("eurocall: <stdin>:" + std::to_string(i + 2) + ": " + expected[i].note), std::string::npos) << o.err;
    }
  }
  EXPECT_NE(o.err.find("eurocall: 1 of 6 rows could not be read, 4 lie outside the model's domain; their results are empty"),
            std::string::npos)
      << o.err;
}

// Black-Scholes with a continuous dividend yield, in long double from the closed form:
// K e^(-rT) N(-d2) - S e^(-qT) N(-d1) for the put, S e^(-qT) N(d1) - K e^(-rT) N(d2) for the call.
long double BlackScholes(bool put, long double S, long double K, long double T, long double r, long double q,
                         long double vol) {
  const long double d1 = (std::log(S / K) + (r - q + vol * vol / 2) * T) / (vol * std::sqrt(T));
  const long double d2 = d1 - vol * std::sqrt(T);
  const auto N = [](long double x) { return std::erfc(-x / std::sqrt(2.0L)) / 2; };
  const long double spot = S * std::exp(-q * T), strike = K * std::exp(-r * T);
  return put ? strike * N(-d2) - spot * N(-d1) : spot * N(d1) - strike * N(d2);
}

TEST(PutsAndDividends, BlackScholesPricesAndVolatilitiesMatchTheClosedForm) {
  struct Case {
    std::string kind;
    double S, K, T, r, q, vol;
  };
  const Case cases[] = {
      {"put", 100, 100, 1, 0.05, 0, 0.2},      {"put", 100, 120, 0.5, 0.01, 0.03, 0.35},
      {"call", 100, 90, 2, 0.03, 0.02, 0.25},   {"put", 4523.25, 4400, 0.2465753424657534, 0.0525, 0.0135, 0.18},
      {"Put", 50, 45, 0.1, 0, 0.08, 0.5},      {"call", 100, 100, 1, 0.05, -0.01, 0.2},
  };
  for (const Case& c : cases) {
    const std::string where = c.kind + " S=" + Show(c.S) + " K=" + Show(c.K) + " q=" + Show(c.q);
    SCOPED_TRACE(where);
    const bool put = c.kind != "call";
    const long double expected = BlackScholes(put, c.S, c.K, c.T, c.r, c.q, c.vol);
    const std::vector<std::string> market = {"--S", Show(c.S), "--K", Show(c.K), "--T", Show(c.T), "--r", Show(c.r),
                                             "--q", Show(c.q), "--kind", c.kind};
    std::vector<std::string> args = {"bs-call", "--vol", Show(c.vol)};
    args.insert(args.end(), market.begin(), market.end());
    const Outcome price = RunTool(args);
    ASSERT_EQ(price.status, 0) << price.err;
    // Parity subtracts S e^(-qT) from the call: a few units of its last place.
    EXPECT_NEAR(Printed(price), double(expected), 1e-13 * c.S);

    // The price back to its volatility, rounded to double as a user would type it.
    args = {"bs-vol", "--price", Show(double(expected))};
    args.insert(args.end(), market.begin(), market.end());
    const Outcome vol = RunTool(args);
    ASSERT_EQ(vol.status, 0) << vol.err;
    EXPECT_NEAR(Printed(vol), c.vol, 1e-9);
    EXPECT_EQ(vol.err, "");
  }
}

TEST(PutsAndDividends, CallsWithoutDividendAreTheExportsOwnBits) {
  // q = 0 is the export itself: S e^(-0 T) = S, and nothing is added to its result.
  const Outcome bs = RunTool(WithOptions(kBsCall, {"--q", "0", "--kind", "call"}));
  EXPECT_EQ(bs.out, RunTool(kBsCall).out);
  EXPECT_TRUE(IsShortestRoundTrip(bs.out.substr(0, bs.out.size() - 1), Library().Call("BSCall", {100, 100, 1, 0.05, 0.2})));
  const Outcome heston = RunTool(WithOptions(kHestonCall, {"--q", "0"}));
  EXPECT_TRUE(IsShortestRoundTrip(heston.out.substr(0, heston.out.size() - 1),
                                  Library().Call("HestonCall_exact", {100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7})));
}

TEST(PutsAndDividends, HestonPutAndCallAreOneParityApart) {
  for (const char* method : {"exact", "fast"}) {
    for (const char* q : {"0", "0.03"}) {
      SCOPED_TRACE(std::string(method) + " q=" + q);
      const auto args = WithOptions(kHestonCall, {"--method", method, "--q", q, "--K", "110", "--T", "0.5"});
      const double call = Printed(RunTool(args));
      const double put = Printed(RunTool(WithOptions(args, {"--kind", "put"})));
      // put - call = K e^(-rT) - S e^(-qT)
      const long double parity = 110 * std::exp(-0.05L * 0.5L) - 100 * std::exp(-std::stold(q) * 0.5L);
      EXPECT_NEAR(put - call, double(parity), 1e-12);
      EXPECT_GT(put, 0);
    }
  }
  // The volatility does not depend on the kind.
  const auto vol = WithOptions(kHestonCall, {"--q", "0.02"});
  std::vector<std::string> hestonVol = vol;
  hestonVol[0] = "heston-vol";
  EXPECT_EQ(RunTool(hestonVol).out, RunTool(WithOptions(hestonVol, {"--kind", "put"})).out);
}

TEST(PutsAndDividends, BatchReadsKindAndDividendColumns) {
  // The same options as rows; kind and q in any case, the put price back to its vol.
  const double put = double(BlackScholes(true, 100, 120, 0.5, 0.01, 0.03, 0.35));
  const std::string csv = "S,K,T,r,vol,price,Kind,Q\n"
                          "100,120,0.5,0.01,0.35," + Show(put) + ",PUT,0.03\n"
                          "100,90,2,0.03,0.25,1,call,0.02\n";
  const Outcome o = RunTool({"batch", "--fn", "BSCall,BSVol"}, WithInput(csv));
  ASSERT_EQ(o.status, 0) << o.err;
  const auto rows = ReadCsv(o.out);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_NEAR(ParseNumber(rows[1][8]).value_or(NAN), put, 1e-13 * 100);
  EXPECT_NEAR(ParseNumber(rows[1][9]).value_or(NAN), 0.35, 1e-9);
  EXPECT_NEAR(ParseNumber(rows[2][8]).value_or(NAN), double(BlackScholes(false, 100, 90, 2, 0.03, 0.02, 0.25)), 1e-13 * 100);
  // Integrands take neither: the columns may be there, they are not read.
  const Outcome integrand = RunTool({"batch", "--fn", "theIntegrand"},
                                    WithInput("x,T,v0,theta,kappa,sigma,rho,phi,kind,q\n-0.2,0.5,0.09,0.04,2,0.6,0.3,0.75,?,?\n"));
  EXPECT_EQ(integrand.status, 0) << integrand.err;
  EXPECT_TRUE(IsShortestRoundTrip(ReadCsv(integrand.out)[1][10],
                                  Library().Call("theIntegrand", {-0.2, 0.5, 0.09, 0.04, 2, 0.6, 0.3, 0.75})));
}

// HestonVol_exact at S=100, K=130, T=0.05, r=0.05, v0=theta=0.04, kappa=1.5, sigma=0.5,
// rho=-0.7: the exact price comes out as 0 (the true price is about 1e-8), and the
// search ends at the bracket's lower end, 0.001.
const std::vector<std::string> kUnresolved = {"heston-vol", "--S", "100", "--K", "130", "--T", "0.05", "--r", "0.05",
                                              "--v0", "0.04", "--theta", "0.04", "--kappa", "1.5", "--sigma", "0.5",
                                              "--rho", "-0.7"};
const char kUnresolvedNote[] = "unresolved: the price is below what the volatility bracket's lower end 0.001 distinguishes";

TEST(UnresolvedVolatility, NotedLikeASentinelWhereverAVolatilityIsPrinted) {
  const Outcome single = RunTool(kUnresolved);
  EXPECT_EQ(single.status, 0);
  EXPECT_EQ(single.out, "0.001\n");
  EXPECT_EQ(single.err, std::string("eurocall: note: HestonVol_exact returned 0.001, ") + kUnresolvedNote + "\n");

  // A Black-Scholes price of a few 1e-12, noise to any volatility, and an ordinary one.
  const Outcome batch = RunTool({"batch", "--fn", "BSVol,HestonVol_exact"},
                                WithInput("S,K,T,r,price,v0,theta,kappa,sigma,rho\n"
                                          "100,130,0.05,0.05,3e-12,0.04,0.04,1.5,0.5,-0.7\n"
                                          "100,100,1,0.05,10.450583572185558,0.04,0.04,1.5,0.3,-0.7\n"));
  EXPECT_EQ(batch.status, 0) << batch.err;
  const auto rows = ReadCsv(batch.out);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1][12], std::string("BSVol: ") + kUnresolvedNote + "; HestonVol_exact: " + kUnresolvedNote);
  EXPECT_EQ(rows[2][12], "");
}

}  // namespace
}  // namespace eurocall::testing
