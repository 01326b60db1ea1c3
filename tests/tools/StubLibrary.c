// SPDX-License-Identifier: Apache-2.0
/* A library file that exports BSCall alone, and computes something no real BSCall
 * would: the tool must report the exports it lacks and call the one it has by name. */
__attribute__((visibility("default"))) double BSCall(double S, double K, double T, double r, double vol) {
  (void)T;
  (void)r;
  (void)vol;
  return S * 1000 + K;
}
