// SPDX-License-Identifier: Apache-2.0
// Records of a delimited file read one at a time from a stream, so that a file of any
// length is read in bounded memory: one read block and one record at most.
//
//   input                                         record handed out
//   a complete record                             its bytes, line break included
//   a record not ended within maxRecordBytes:
//     a line break within them (a quote that      its first line without the line
//     opens a field and is not closed)            break, with `cut` set; reading goes
//                                                 on at the next line
//     no line break within them                   its first maxRecordBytes bytes, with
//                                                 `cut` set; the rest of that line is
//                                                 skipped
//   a leading byte order mark                     dropped
//
// A record with `cut` set has no line break and may leave a quote open: it must end
// the text it is parsed in.
#ifndef EUROCALL_TOOLS_CSVREADER_H
#define EUROCALL_TOOLS_CSVREADER_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace eurocall::tool {

class CsvReader {
 public:
  // Reads `readBlock` bytes at a time (a short read is the end of the input).
  CsvReader(std::FILE* in, std::size_t maxRecordBytes, std::size_t readBlock = 1 << 16);

  struct Record {
    std::string_view text;  // valid until the next call
    std::size_t line = 0;   // line on which it starts, from 1
    std::string cut;        // empty, or why the record was cut short
  };

  // The next line without its line break, not consumed, after dropping blank lines;
  // at most maxRecordBytes of it. Empty at the end of the input.
  std::string_view PeekLine();

  // Records end where a quote opens a field only after this separator (',' at first).
  void SetSeparator(char separator) { separator_ = separator; }

  // The next record; false at the end of the input or when reading failed.
  bool Next(Record* record);

  std::uint64_t bytesRead() const { return bytesRead_; }
  // Empty, or the system's reason a read failed.
  const std::string& error() const { return error_; }

 private:
  void Fill();

  std::FILE* in_;
  std::size_t maxRecordBytes_, readBlock_;
  char separator_ = ',';
  std::string buffer_;
  std::size_t position_ = 0;  // start of what is not handed out yet
  std::size_t line_ = 1;      // line of the byte at position_
  bool atEnd_ = false, started_ = false, skipping_ = false;
  std::uint64_t bytesRead_ = 0;
  std::string cutText_, error_;
};

}  // namespace eurocall::tool

#endif
