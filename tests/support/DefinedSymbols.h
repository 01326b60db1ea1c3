// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_TESTS_SUPPORT_DEFINEDSYMBOLS_H
#define EUROCALL_TESTS_SUPPORT_DEFINEDSYMBOLS_H

// The dynamic symbols a shared library defines, as `nm -D --defined-only` lists them:
// what a host can bind by name. Fails the calling test when nm cannot be run.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

namespace eurocall::testing {

inline std::set<std::string> DefinedDynamicSymbols(const std::string& nm, const std::string& library) {
  const std::string command = nm + " -D --defined-only " + library;
  std::set<std::string> defined;
  FILE* pipe = popen(command.c_str(), "r");
  EXPECT_NE(pipe, nullptr) << command;
  if (pipe == nullptr) return defined;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe)) {
    std::istringstream fields(line);
    std::string address, type, name;
    if (fields >> address >> type >> name) defined.insert(name);
  }
  EXPECT_EQ(pclose(pipe), 0) << command;
  return defined;
}

}  // namespace eurocall::testing

#endif
