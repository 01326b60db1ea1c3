// SPDX-License-Identifier: Apache-2.0
#include "Library.h"

#include <cstdlib>
#include <filesystem>

#include "eurocall.h"

namespace eurocall::tool {

namespace {

// The header's own declarations give the types, calling convention included.
using Fn5 = decltype(&::BSCall);
using Fn9 = decltype(&::HestonCall_exact);
using Fn8 = decltype(&::theIntegrand);

// dir/file with "bin/../lib" folded to "lib", so that the path reported is the plain one.
std::string Join(const std::string& dir, const std::string& file) {
  return (std::filesystem::path(dir) / file).lexically_normal().string();
}

}  // namespace

bool Library::Load(const std::string& executable, std::string* why) {
  struct Candidate {
    std::string path, origin;
  };
  std::vector<Candidate> candidates;
  const char* env = std::getenv("EUROCALL_LIBRARY");
  if (env && *env) {
    // Named, it is the only place looked at: a library that does not load there is an
    // error, not a reason to take another one.
    if (IsDirectory(env)) {
      candidates.push_back({Join(env, EUROCALL_LIBRARY_NAME), "in the directory EUROCALL_LIBRARY"});
      if (std::string(EUROCALL_LIBRARY_LINK_NAME) != EUROCALL_LIBRARY_NAME) {
        candidates.push_back({Join(env, EUROCALL_LIBRARY_LINK_NAME), "in the directory EUROCALL_LIBRARY"});
      }
    } else {
      candidates.push_back({env, "EUROCALL_LIBRARY"});
    }
  } else {
    const std::string here = DirectoryOf(executable);
    candidates.push_back({Join(here, EUROCALL_LIBRARY_NAME), "next to the tool"});
    candidates.push_back({Join(Join(here, EUROCALL_LIBDIR_FROM_BINDIR), EUROCALL_LIBRARY_NAME), "installed tree"});
  }

  std::string tried;
  for (const Candidate& c : candidates) {
    std::string reason;
    if (!IsRegularFile(c.path)) {
      reason = "no such file";
    } else if (library_.Open(c.path, &reason)) {
      path_ = c.path;
      for (const ExportInfo& e : AllExports()) functions_[std::size_t(e.id)] = library_.Symbol(e.name);
      return true;
    }
    tried += "\n  " + c.path + " (" + c.origin + "): " + reason;
  }
  *why = "cannot load the eurocall library; tried:" + tried;
  if (!(env && *env)) *why += "\n  (set EUROCALL_LIBRARY to the library file, or to its directory)";
  return false;
}

std::vector<Export> Library::Missing(const std::vector<Export>& wanted) const {
  std::vector<Export> missing;
  for (Export e : wanted) {
    if (!Has(e)) missing.push_back(e);
  }
  return missing;
}

double Library::Call(Export e, const Values& v) const {
  const ExportInfo& info = Info(e);
  void* f = functions_[std::size_t(e)];
  double a[9];
  for (std::size_t i = 0; i < info.params.size(); ++i) a[i] = At(v, info.params[i]);
  switch (info.params.size()) {
    case 5:
      return reinterpret_cast<Fn5>(f)(a[0], a[1], a[2], a[3], a[4]);
    case 8:
      return reinterpret_cast<Fn8>(f)(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
    default:
      return reinterpret_cast<Fn9>(f)(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]);
  }
}

bool Library::ThreadIsClean() const {
  void* f = functions_[std::size_t(Export::theIntegrand)];
  if (!f) return true;
  // About 0.0682 while the indicator is clear, exactly 0 once it is set.
  return reinterpret_cast<Fn8>(f)(-0.2, 0.5, 0.09, 0.04, 2, 0.6, 0.3, 0.75) != 0.0;
}

std::string MissingExportsMessage(const Library& library, const std::vector<Export>& missing) {
  std::string names;
  for (Export e : missing) names += (names.empty() ? "" : ", ") + std::string(Info(e).name);
  return "the library " + library.path() + " does not export " + names;
}

}  // namespace eurocall::tool
