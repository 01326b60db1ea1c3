// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_BENCH_REFERENCEPRICES_H
#define EUROCALL_BENCH_REFERENCEPRICES_H

// The reference Heston prices of tests/data/heston_prices.csv (how they were made:
// tests/data/README.md), read into rows. Every number is printed with 17 significant
// digits, so strtod gives back the exact double that was written.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace eurocall::bench {

struct ReferencePrice {
  double S, K, T, r, v0, theta, kappa, sigma, rho;
  double price, uncertainty, impliedVol;
};

// The rows in file order (the typical request first); empty if the file cannot be read.
inline std::vector<ReferencePrice> ReadReferencePrices(const char* path) {
  std::vector<ReferencePrice> rows;
  std::FILE* f = std::fopen(path, "r");
  if (!f) {
    std::fprintf(stderr, "cannot read %s\n", path);
    return rows;
  }
  char line[1024];
  bool header = true;
  while (std::fgets(line, sizeof line, f)) {
    if (header) {
      header = false;
      continue;
    }
    double v[12];
    char* p = line;
    int n = 0;
    for (; n < 12; ++n) {
      char* end = nullptr;
      v[n] = std::strtod(p, &end);
      if (end == p) break;
      p = (*end == ',') ? end + 1 : end;
    }
    if (n == 12) rows.push_back({v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11]});
  }
  std::fclose(f);
  return rows;
}

}  // namespace eurocall::bench

#endif
