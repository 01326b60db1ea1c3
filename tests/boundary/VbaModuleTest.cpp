// SPDX-License-Identifier: Apache-2.0
// The VBA module of examples/excel against the public header. Nothing here can run VBA,
// so the module is read as text: a theta and v0 swapped in a declaration, a wrapper
// that passes its arguments in another order than it takes them, or a declaration
// that 64-bit Office would refuse would otherwise go unnoticed until a spreadsheet
// priced with it. Every declaration and every wrapper must read exactly as the
// header's prototype dictates (whitespace and line continuations aside).
#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace eurocall {
namespace {

std::string ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Prototype {
  std::string name;
  std::vector<std::string> parameters;
};

std::vector<Prototype> HeaderPrototypes(const std::string& header) {
  static const std::regex declaration(R"(EUROCALL_API\s+double\s+EUROCALL_CALL\s+(\w+)\s*\(([^)]*)\)\s*;)");
  static const std::regex parameter(R"(\s*double\s+(\w+)\s*)");
  std::vector<Prototype> found;
  for (std::sregex_iterator it(header.begin(), header.end(), declaration), end; it != end; ++it) {
    Prototype p{(*it)[1].str(), {}};
    std::stringstream items((*it)[2].str());
    for (std::string item; std::getline(items, item, ',');) {
      std::smatch m;
      p.parameters.push_back(std::regex_match(item, m, parameter) ? m[1].str() : "?" + item);
    }
    found.push_back(p);
  }
  return found;
}

// One VBA statement with the conditional-compilation branch it sits in ("" outside
// any #If, "VBA7", "not VBA7", nested ones joined by " / ").
struct Statement {
  std::string text;
  std::string branch;
};

// The module's statements, comments dropped, line continuations joined and blanks
// collapsed to one space (none just inside parentheses), so that a statement compares
// with one written on one line.
std::vector<Statement> ModuleStatements(const std::string& module) {
  std::string joined = std::regex_replace(module, std::regex(R"( _\r?\n[ \t]*)"), " ");
  std::vector<Statement> statements;
  std::vector<std::string> branches;
  std::stringstream lines(joined);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    bool quoted = false;  // a ' opens a comment only outside a string
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '"') quoted = !quoted;
      if (line[i] == '\'' && !quoted) {
        line.erase(i);
        break;
      }
    }
    line = std::regex_replace(line, std::regex(R"([ \t]+)"), " ");
    line = std::regex_replace(line, std::regex(R"(\( )"), "(");
    line = std::regex_replace(line, std::regex(R"( \))"), ")");
    line = std::regex_replace(line, std::regex(R"(^ | $)"), "");
    std::smatch m;
    if (std::regex_match(line, m, std::regex(R"(#If (\w+) Then)"))) {
      branches.push_back(m[1]);
    } else if (line == "#Else" && !branches.empty()) {
      branches.back() = "not " + branches.back();
    } else if (line == "#End If" && !branches.empty()) {
      branches.pop_back();
    } else if (!line.empty()) {
      std::string branch;
      for (const std::string& b : branches) branch += (branch.empty() ? "" : " / ") + b;
      statements.push_back({line, branch});
    }
  }
  return statements;
}

std::string VbaParameters(const Prototype& p) {
  std::string list;
  for (const std::string& name : p.parameters) list += (list.empty() ? "" : ", ") + ("ByVal " + name + " As Double");
  return list;
}

std::string Arguments(const Prototype& p) {
  std::string list;
  for (const std::string& name : p.parameters) list += (list.empty() ? "" : ", ") + name;
  return list;
}

// The worksheet function for each export, in the header's order.
const std::map<std::string, std::string> kWorksheetName = {
    {"BSCall", "BS_CALL"},
    {"BSVol", "BS_VOL"},
    {"HestonCall_exact", "HESTON_CALL_EXACT"},
    {"HestonCall_fast", "HESTON_CALL_FAST"},
    {"HestonVol_exact", "HESTON_VOL_EXACT"},
    {"HestonVol_fast", "HESTON_VOL_FAST"},
    {"RealIntegrand_j0", "HESTON_INTEGRAND_J0"},
    {"RealIntegrand_j1", "HESTON_INTEGRAND_J1"},
    {"theIntegrand", "HESTON_INTEGRAND"},
};

class VbaModule : public ::testing::Test {
 protected:
  void SetUp() override {
    header_ = HeaderPrototypes(ReadFile(EUROCALL_HEADER_FILE));
    ASSERT_EQ(header_.size(), 9u) << "prototypes found in " << EUROCALL_HEADER_FILE;
    ASSERT_EQ(header_.front().name, "BSCall");
    ASSERT_EQ(header_.back().name, "theIntegrand");
    module_ = ReadFile(EUROCALL_VBA_MODULE_FILE);
    ASSERT_FALSE(module_.empty()) << EUROCALL_VBA_MODULE_FILE;
    statements_ = ModuleStatements(module_);
  }

  std::vector<Statement> Matching(const std::string& pattern) const {
    std::vector<Statement> found;
    for (const Statement& s : statements_) {
      if (std::regex_search(s.text, std::regex(pattern))) found.push_back(s);
    }
    return found;
  }

  std::vector<Prototype> header_;
  std::string module_;
  std::vector<Statement> statements_;
};

// The VBA editor reads an imported module as ANSI text with Windows line ends and names
// the module from its first line; a bare line feed runs lines together on import.
TEST_F(VbaModule, ImportsAsAnAsciiModuleWithWindowsLineEnds) {
  EXPECT_EQ(module_.rfind("Attribute VB_Name = \"eurocall\"\r\n", 0), 0u);
  for (std::size_t i = 0; i < module_.size(); ++i) {
    const unsigned char c = module_[i];
    ASSERT_TRUE(c < 0x80) << "byte " << i << " is not ASCII";
    if (c == '\n') ASSERT_TRUE(i > 0 && module_[i - 1] == '\r') << "bare line feed at byte " << i;
  }
  EXPECT_EQ(module_.substr(module_.size() - 2), "\r\n") << "the last line has no line end";
  EXPECT_EQ(Matching("^Option Explicit$").size(), 1u);
}

// Office 2010 and later (VBA7, 32- and 64-bit) need PtrSafe; older Office knows no
// PtrSafe. Each branch declares the nine functions, in ordinal order, bound to the DLL's
// exact names, with the header's parameters by value as Double.
TEST_F(VbaModule, DeclaresEveryExportAsTheHeaderDoesForEachOffice) {
  const struct {
    std::string branch;
    std::string keyword;
  } offices[] = {{"VBA7", "Declare PtrSafe Function"}, {"not VBA7", "Declare Function"}};
  for (const auto& office : offices) {
    SCOPED_TRACE(office.branch);
    std::vector<std::string> expected, declared;
    for (const Prototype& p : header_) {
      expected.push_back("Private " + office.keyword + " " + p.name + " Lib \"eurocall.dll\" Alias \"" + p.name +
                         "\" (" + VbaParameters(p) + ") As Double");
    }
    for (const Statement& s : Matching(R"(\bDeclare\b)")) {
      if (s.branch == office.branch) declared.push_back(s.text);
    }
    EXPECT_EQ(declared, expected);
  }
  EXPECT_EQ(Matching(R"(\bDeclare\b)").size(), 2 * header_.size()) << "a declaration outside the two branches";
}

// Each worksheet function takes its export's arguments in the export's order, as
// Doubles, returns a Double, and passes the arguments on unchanged and in order.
TEST_F(VbaModule, WrapsEveryExportInAWorksheetFunctionWithItsArgumentOrder) {
  std::vector<std::string> expected_signatures, signatures;
  for (const Prototype& p : header_) {
    const std::string& wrapper = kWorksheetName.at(p.name);
    SCOPED_TRACE(wrapper);
    expected_signatures.push_back("Public Function " + wrapper + "(" + VbaParameters(p) + ") As Double");
    const std::string call = wrapper + " = " + p.name + "(" + Arguments(p) + ")";
    // The statements between this wrapper's signature and its End Function.
    auto begin = std::find_if(statements_.begin(), statements_.end(), [&](const Statement& s) {
      return s.text.rfind("Public Function " + wrapper + "(", 0) == 0;
    });
    ASSERT_NE(begin, statements_.end());
    auto end = std::find_if(begin, statements_.end(), [](const Statement& s) { return s.text == "End Function"; });
    ASSERT_NE(end, statements_.end());
    std::vector<std::string> assignments;
    for (auto s = begin + 1; s != end; ++s) {
      if (s->text.rfind(wrapper + " =", 0) == 0) assignments.push_back(s->text);
    }
    EXPECT_EQ(assignments, std::vector<std::string>{call});
  }
  for (const Statement& s : Matching(R"(^Public Function )")) signatures.push_back(s.text);
  EXPECT_EQ(signatures, expected_signatures) << "the module's public functions are the nine wrappers, in order";
}

}  // namespace
}  // namespace eurocall
