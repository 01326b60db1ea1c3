// SPDX-License-Identifier: Apache-2.0
// A shared library opened by file name, and the few platform facts the loader needs.
// dlopen/dlsym on POSIX systems, LoadLibrary/GetProcAddress on Windows; nothing else in
// the tool touches either.
#ifndef EUROCALL_TOOLS_SHAREDLIBRARY_H
#define EUROCALL_TOOLS_SHAREDLIBRARY_H

#include <string>

namespace eurocall::tool {

class SharedLibrary {
 public:
  SharedLibrary() = default;
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;
  ~SharedLibrary();

  // Opens `path` with every symbol bound now. On failure returns false and leaves the
  // platform's reason in *why.
  bool Open(const std::string& path, std::string* why);

  // Address of the exported function `name`, or nullptr.
  void* Symbol(const char* name) const;

 private:
  void* handle_ = nullptr;
};

// Absolute path of the running executable; `argv0` is the fallback where the platform
// cannot tell.
std::string ExecutablePath(const char* argv0);

// Directory part of `path`, without the trailing separator ("." if there is none).
std::string DirectoryOf(const std::string& path);

bool IsRegularFile(const std::string& path);
bool IsDirectory(const std::string& path);

}  // namespace eurocall::tool

#endif
