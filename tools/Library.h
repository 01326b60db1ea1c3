// SPDX-License-Identifier: Apache-2.0
// The eurocall shared library, found and loaded at run time and bound by export name,
// exactly as the hosts it is made for bind it.
#ifndef EUROCALL_TOOLS_LIBRARY_H
#define EUROCALL_TOOLS_LIBRARY_H

#include <array>
#include <string>
#include <vector>

#include "Exports.h"
#include "SharedLibrary.h"

namespace eurocall::tool {

class Library {
 public:
  // Loads the library named by $EUROCALL_LIBRARY (the file, or a directory holding it)
  // and nothing else when that is set; otherwise the first that loads of the library
  // next to the executable and the one in the lib directory of an installed tree.
  // Returns false with a message naming every place tried if none could be loaded.
  bool Load(const std::string& executable, std::string* why);

  const std::string& path() const { return path_; }
  bool Has(Export e) const { return functions_[std::size_t(e)] != nullptr; }
  // The exports of `wanted` that the loaded file lacks.
  std::vector<Export> Missing(const std::vector<Export>& wanted) const;

  // Calls export `e` with its arguments taken from `v` in the library's order. Every
  // export is reentrant, so any thread may call.
  double Call(Export e, const Values& v) const;

  // False once the library's per-thread maths error indicator has been set on the
  // calling thread: from then on every integrand value there is 0. Told from
  // theIntegrand at a point where its value is far from 0.
  bool ThreadIsClean() const;

 private:
  SharedLibrary library_;
  std::string path_;
  std::array<void*, kExportCount> functions_{};
};

// "the library /x/libeurocall.so.1 does not export HestonCall_exact, HestonVol_exact"
std::string MissingExportsMessage(const Library& library, const std::vector<Export>& missing);

}  // namespace eurocall::tool

#endif
