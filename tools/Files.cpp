// SPDX-License-Identifier: Apache-2.0
#include "Files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace eurocall::tool {

namespace {

bool IsStandard(const std::string& path) { return path.empty() || path == "-"; }

std::string Failure(const char* what, const std::string& name, int error) {
  return std::string("cannot ") + what + " '" + name + "': " + std::strerror(error);
}

}  // namespace

InputFile::~InputFile() {
  if (file_ && !standard_) std::fclose(file_);
}

bool InputFile::Open(const std::string& path, std::string* why) {
  standard_ = IsStandard(path);
  name_ = standard_ ? "<stdin>" : path;
  file_ = standard_ ? stdin : std::fopen(path.c_str(), "rb");
  if (!file_) {
    *why = Failure("open", path, errno);
    return false;
  }
  struct stat st;
  if (fstat(fileno(file_), &st) == 0 && (st.st_mode & S_IFMT) == S_IFREG) size_ = std::uint64_t(st.st_size);
  return true;
}

std::string InputFile::ReadFailure(const std::string& reason) const {
  return "cannot read '" + (standard_ ? std::string("standard input") : name_) + "': " + reason;
}

OutputFile::~OutputFile() {
  std::string ignored;
  Close(&ignored);
}

bool OutputFile::Open(const std::string& path, const InputFile* input, std::string* why) {
  standard_ = IsStandard(path);
  name_ = standard_ ? "standard output" : path;
  if (standard_) {
    file_ = stdout;
    return true;
  }
  struct stat in, out;
  // Where the file system has no inode numbers (0), files cannot be told apart this way.
  if (input && input->get() && fstat(fileno(input->get()), &in) == 0 && stat(path.c_str(), &out) == 0 &&
      in.st_ino != 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
    *why = "cannot write '" + path + "': it is the input file, which writing would empty before it is read";
    return false;
  }
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) {
    *why = Failure("write", path, errno);
    return false;
  }
  return true;
}

bool OutputFile::Write(std::string_view text, std::string* why) {
  if (std::fwrite(text.data(), 1, text.size(), file_) == text.size()) return true;
  *why = Failure("write", name_, errno);
  return false;
}

bool OutputFile::Close(std::string* why) {
  if (!file_) return true;
  const bool ok = (standard_ ? std::fflush(file_) : std::fclose(file_)) == 0 && !(standard_ && std::ferror(file_));
  const int error = errno;
  file_ = nullptr;
  if (!ok) *why = Failure("write", name_, error);
  return ok;
}

bool WriteAll(const std::string& path, std::string_view text, std::string* why) {
  OutputFile out;
  return out.Open(path, nullptr, why) && out.Write(text, why) && out.Close(why);
}

}  // namespace eurocall::tool
