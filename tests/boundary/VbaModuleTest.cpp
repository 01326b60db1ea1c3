// The VBA module of examples/excel declares what the public header declares: the same
// nine functions in the same order, each bound to the DLL's exact (case-sensitive) name,
// with the header's argument names in the header's order, every argument ByVal As
// Double and every result As Double. Nothing here can run VBA; a wrong order of theta
// and v0 in the module would otherwise go unnoticed until a spreadsheet priced with it.
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace eurocall {
namespace {

struct Declaration {
  std::string name;
  std::vector<std::string> arguments;
  bool operator==(const Declaration& o) const { return name == o.name && arguments == o.arguments; }
};

std::ostream& operator<<(std::ostream& os, const Declaration& d) {
  os << d.name << "(";
  for (std::size_t i = 0; i < d.arguments.size(); ++i) os << (i ? ", " : "") << d.arguments[i];
  return os << ")";
}

std::string ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Splits a parameter list at commas; each parameter must match `parameter`, whose
// first group is the name. A parameter that does not match becomes "?<text>".
std::vector<std::string> Parameters(const std::string& list, const std::regex& parameter) {
  std::vector<std::string> names;
  std::stringstream items(list);
  std::string item;
  while (std::getline(items, item, ',')) {
    std::smatch m;
    names.push_back(std::regex_match(item, m, parameter) ? m[1].str() : "?" + item);
  }
  return names;
}

std::vector<Declaration> HeaderDeclarations(const std::string& header) {
  static const std::regex declaration(R"(EUROCALL_API\s+double\s+EUROCALL_CALL\s+(\w+)\s*\(([^)]*)\)\s*;)");
  static const std::regex parameter(R"(\s*double\s+(\w+)\s*)");
  std::vector<Declaration> found;
  for (std::sregex_iterator it(header.begin(), header.end(), declaration), end; it != end; ++it) {
    found.push_back({(*it)[1].str(), Parameters((*it)[2].str(), parameter)});
  }
  return found;
}

// A Declare whose Lib or Alias is not the expected one is recorded under "?<name>".
std::vector<Declaration> ModuleDeclarations(std::string module) {
  module = std::regex_replace(module, std::regex(R"( _\r?\n\s*)"), " ");  // line continuations
  static const std::regex declaration(
      R"re((?:Public |Private )?Declare PtrSafe Function (\w+) Lib "([^"]*)" Alias "([^"]*)" \(([^)]*)\) As Double\r?\n)re");
  static const std::regex parameter(R"(\s*ByVal (\w+) As Double\s*)");
  std::vector<Declaration> found;
  for (std::sregex_iterator it(module.begin(), module.end(), declaration), end; it != end; ++it) {
    const bool bound = (*it)[2] == "eurocall.dll" && (*it)[3] == (*it)[1];
    found.push_back({(bound ? "" : "?") + (*it)[1].str(), Parameters((*it)[4].str(), parameter)});
  }
  return found;
}

TEST(VbaModule, DeclaresTheHeadersFunctionsAndArgumentsInOrder) {
  const std::vector<Declaration> header = HeaderDeclarations(ReadFile(EUROCALL_HEADER_FILE));
  const std::string module = ReadFile(EUROCALL_VBA_MODULE_FILE);
  const std::vector<Declaration> vba = ModuleDeclarations(module);
  ASSERT_EQ(header.size(), 9u) << "declarations found in " << EUROCALL_HEADER_FILE;
  EXPECT_EQ(header.front().name, "BSCall");
  EXPECT_EQ(header.back().name, "theIntegrand");
  ASSERT_EQ(vba.size(), header.size());
  for (std::size_t i = 0; i < header.size(); ++i) EXPECT_EQ(vba[i], header[i]) << "ordinal " << i + 1;
  // Every Declare of the module was recognised above, none is malformed past the regex.
  std::size_t declares = 0;
  for (std::size_t at = module.find("Declare "); at != std::string::npos; at = module.find("Declare ", at + 1)) {
    ++declares;
  }
  EXPECT_EQ(declares, vba.size());
}

}  // namespace
}  // namespace eurocall
