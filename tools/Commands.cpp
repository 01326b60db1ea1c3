#include "Commands.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "Numbers.h"

namespace eurocall::tool {

namespace {

using P = Param;

// The phi at which the default table shows the three integrands.
constexpr double kSamplePhi = 1.0;

std::string Arguments(Export e, const Values& v) {
  std::string s;
  for (Param p : Info(e).params) s += (s.empty() ? "" : " ") + std::string(ParamName(p)) + "=" + FormatDouble(At(v, p));
  return s;
}

}  // namespace

void Complain(const std::string& message) { std::fprintf(stderr, "eurocall: %s\n", message.c_str()); }

bool ReadAll(const std::string& path, std::string* text, std::string* why) {
  const bool standard = path.empty() || path == "-";
  std::FILE* f = standard ? stdin : std::fopen(path.c_str(), "rb");
  if (!f) {
    *why = "cannot open '" + path + "': " + std::strerror(errno);
    return false;
  }
  char buffer[1 << 16];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text->append(buffer, n);
  const bool failed = std::ferror(f) != 0;
  const int error = errno;
  if (!standard) std::fclose(f);
  if (failed) {
    *why = "cannot read '" + (standard ? std::string("standard input") : path) + "': " + std::strerror(error);
    return false;
  }
  return true;
}

bool WriteAll(const std::string& path, const std::string& text, std::string* why) {
  const bool standard = path.empty() || path == "-";
  std::FILE* f = standard ? stdout : std::fopen(path.c_str(), "wb");
  if (!f) {
    *why = "cannot write '" + path + "': " + std::strerror(errno);
    return false;
  }
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = (standard ? std::fflush(f) : std::fclose(f)) == 0 && ok;
  if (!ok) *why = "cannot write '" + (standard ? std::string("standard output") : path) + "': " + std::strerror(errno);
  return ok;
}

int RunDefaultTable(const Library& library) {
  Values v{};
  At(v, P::S) = 100;
  At(v, P::K) = 100;
  At(v, P::T) = 1;
  At(v, P::r) = 0.05;
  At(v, P::vol) = 0.2;
  At(v, P::v0) = 0.04;
  At(v, P::theta) = 0.04;
  At(v, P::kappa) = 1.5;
  At(v, P::sigma) = 0.3;
  At(v, P::rho) = -0.7;
  // The integrands see the request through its log forward moneyness, formed as the
  // Heston prices form it: ln(e^(rT) S / K).
  At(v, P::x) = std::log(std::exp(At(v, P::r) * At(v, P::T)) * At(v, P::S) / At(v, P::K));
  At(v, P::phi) = kSamplePhi;

  std::vector<Export> all;
  for (const ExportInfo& e : AllExports()) all.push_back(e.id);
  if (const auto missing = library.Missing(all); !missing.empty()) {
    Complain(MissingExportsMessage(library, missing));
    return kNoLibrary;
  }
  // BSVol inverts the price BSCall gives for the request's vol.
  At(v, P::price) = library.Call(Export::BSCall, v);

  struct Row {
    std::string name, arguments, result;
  };
  std::vector<Row> rows = {{"export", "arguments", "result"}};
  for (const ExportInfo& e : AllExports()) {
    const double result = library.Call(e.id, v);
    std::string text = FormatDouble(result);
    if (const auto meaning = SentinelMeaning(e.id, result)) text += "  (" + *meaning + ")";
    rows.push_back({e.name, Arguments(e.id, v), text});
  }
  std::size_t nameWidth = 0, argumentsWidth = 0;
  for (const Row& r : rows) {
    nameWidth = std::max(nameWidth, r.name.size());
    argumentsWidth = std::max(argumentsWidth, r.arguments.size());
  }
  std::string out;
  for (const Row& r : rows) {
    out += r.name + std::string(nameWidth + 2 - r.name.size(), ' ');
    out += r.arguments + std::string(argumentsWidth + 2 - r.arguments.size(), ' ');
    out += r.result + "\n";
  }
  std::string why;
  if (!WriteAll("", out, &why)) {
    Complain(why);
    return kInputOutput;
  }
  return kOk;
}

int RunSingle(const Library& library, Export e, const Values& args) {
  if (const auto missing = library.Missing({e}); !missing.empty()) {
    Complain(MissingExportsMessage(library, missing));
    return kNoLibrary;
  }
  const double result = library.Call(e, args);
  std::string why;
  if (!WriteAll("", FormatDouble(result) + "\n", &why)) {
    Complain(why);
    return kInputOutput;
  }
  if (const auto meaning = SentinelMeaning(e, result)) {
    Complain(std::string("note: ") + Info(e).name + " returned the sentinel " + *meaning);
  }
  return kOk;
}

}  // namespace eurocall::tool
