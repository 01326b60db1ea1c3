// SPDX-License-Identifier: Apache-2.0
// Input and output streams by name, "-" (or nothing) standing for the standard stream.
// Every failure says what went wrong, naming the file.
#ifndef EUROCALL_TOOLS_FILES_H
#define EUROCALL_TOOLS_FILES_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace eurocall::tool {

class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  bool Open(const std::string& path, std::string* why);
  std::FILE* get() const { return file_; }
  bool standard() const { return standard_; }
  // For messages: the path, or "<stdin>".
  const std::string& name() const { return name_; }
  // Bytes in a regular file; 0 where the size is not known in advance (a pipe).
  std::uint64_t size() const { return size_; }
  // "cannot read '...': reason".
  std::string ReadFailure(const std::string& reason) const;

 private:
  std::FILE* file_ = nullptr;
  bool standard_ = false;
  std::string name_;
  std::uint64_t size_ = 0;
};

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  // Opens, and so creates or empties, the file; refuses the file `input` reads from,
  // which would be emptied before it is read.
  bool Open(const std::string& path, const InputFile* input, std::string* why);
  bool Write(std::string_view text, std::string* why);
  // Flushes standard output, or closes the file: where a full disk shows.
  bool Close(std::string* why);

 private:
  std::FILE* file_ = nullptr;
  bool standard_ = false;
  std::string name_;
};

// The whole of `text` into a new file at `path`, or onto standard output.
bool WriteAll(const std::string& path, std::string_view text, std::string* why);

}  // namespace eurocall::tool

#endif
