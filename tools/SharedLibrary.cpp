// SPDX-License-Identifier: Apache-2.0
#include "SharedLibrary.h"

#include <sys/stat.h>

#include <cstdlib>
#include <vector>

#if defined(_WIN32)
#  define WIN32_LEAN_AND_MEAN
#  include <windows.h>
#else
#  include <dlfcn.h>
#  include <unistd.h>
#endif

namespace eurocall::tool {

#if defined(_WIN32)

namespace {

std::wstring Widen(const std::string& s) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
  std::wstring w(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, w.data(), n);
  return w;
}

std::string Narrow(const wchar_t* w) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  std::string s(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
  return s;
}

std::string LastErrorText() {
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, GetLastError(), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string s = text ? Narrow(text) : std::string("unknown error");
  LocalFree(text);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

}  // namespace

SharedLibrary::~SharedLibrary() {
  if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
}

bool SharedLibrary::Open(const std::string& path, std::string* why) {
  // The library's own directory first for its dependencies, as for an executable.
  HMODULE h = LoadLibraryExW(Widen(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!h) {
    *why = LastErrorText();
    return false;
  }
  handle_ = h;
  return true;
}

void* SharedLibrary::Symbol(const char* name) const {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

std::string ExecutablePath(const char* argv0) {
  std::vector<wchar_t> buffer(32768);
  const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
  if (n == 0 || n >= buffer.size()) return argv0 ? argv0 : "";
  return Narrow(buffer.data());
}

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

#else

SharedLibrary::~SharedLibrary() {
  if (handle_) dlclose(handle_);
}

bool SharedLibrary::Open(const std::string& path, std::string* why) {
  // A name without a slash would send dlopen through the system search path.
  const std::string name = path.find('/') == std::string::npos ? "./" + path : path;
  handle_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* e = dlerror();
    *why = e ? e : "unknown error";
    return false;
  }
  return true;
}

void* SharedLibrary::Symbol(const char* name) const {
  return handle_ ? dlsym(handle_, name) : nullptr;
}

std::string ExecutablePath(const char* argv0) {
  std::vector<char> buffer(4096);
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n > 0) return std::string(buffer.data(), std::size_t(n));
  if (argv0) {
    if (char* resolved = realpath(argv0, nullptr)) {
      std::string s(resolved);
      std::free(resolved);
      return s;
    }
    return argv0;
  }
  return "";
}

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

#endif

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFREG;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFDIR;
}

}  // namespace eurocall::tool
