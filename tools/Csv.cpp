// SPDX-License-Identifier: Apache-2.0
#include "Csv.h"

namespace eurocall::tool {

namespace {

bool AtRecordEnd(std::string_view in, std::size_t i) {
  return i >= in.size() || in[i] == '\n' || (in[i] == '\r' && (i + 1 >= in.size() || in[i + 1] == '\n'));
}

}  // namespace

std::vector<CsvRecord> ParseCsv(std::string_view in, char sep, std::size_t firstLine) {
  std::vector<CsvRecord> records;
  std::size_t i = 0, line = firstLine;
  while (i < in.size()) {
    CsvRecord rec;
    rec.line = line;
    for (;;) {
      const std::size_t start = i;
      const std::size_t column = rec.raw.size() + 1;
      std::string value;
      if (i < in.size() && in[i] == '"') {
        ++i;
        bool closed = false;
        while (i < in.size()) {
          if (in[i] == '"') {
            if (i + 1 < in.size() && in[i + 1] == '"') {
              value += '"';
              i += 2;
              continue;
            }
            ++i;
            closed = true;
            break;
          }
          if (in[i] == '\n') ++line;
          value += in[i++];
        }
        if (!closed) {
          rec.unclosedQuote = true;
          if (rec.error.empty()) rec.error = "column " + std::to_string(column) + ": quoted field is never closed";
        }
        if (closed && !AtRecordEnd(in, i) && in[i] != sep && rec.error.empty()) {
          rec.error = "column " + std::to_string(column) + ": text after the closing quote";
        }
      }
      while (!AtRecordEnd(in, i) && in[i] != sep) value += in[i++];
      rec.raw.emplace_back(in.substr(start, i - start));
      rec.text.push_back(std::move(value));
      if (i < in.size() && in[i] == sep) {
        ++i;
        continue;
      }
      break;
    }
    if (i < in.size() && in[i] == '\r') ++i;
    if (i < in.size() && in[i] == '\n') ++i;
    ++line;
    const bool blank = rec.raw.size() == 1 && rec.raw[0].empty();
    if (!blank) records.push_back(std::move(rec));
  }
  return records;
}

std::size_t RecordEnd(std::string_view in, std::size_t i, char sep, bool more) {
  constexpr std::size_t kIncomplete = std::string_view::npos;
  for (;;) {
    if (i < in.size() && in[i] == '"') {
      ++i;
      for (;;) {
        if (i >= in.size()) {
          if (more) return kIncomplete;
          break;  // never closed: the record runs to the end
        }
        if (in[i] != '"') {
          ++i;
          continue;
        }
        // A quote at the end may be the first of a doubled pair.
        if (i + 1 >= in.size() && more) return kIncomplete;
        if (i + 1 < in.size() && in[i + 1] == '"') {
          i += 2;
          continue;
        }
        ++i;
        break;
      }
    }
    while (!AtRecordEnd(in, i) && in[i] != sep) ++i;
    if (i < in.size() && in[i] == sep) {
      ++i;
      continue;
    }
    break;
  }
  // At the end of the input, or at a CR that ends it: more input could continue the
  // record, or make the CR an ordinary byte or the first of a CRLF.
  if (more && (i >= in.size() || (in[i] == '\r' && i + 1 >= in.size()))) return kIncomplete;
  if (i < in.size() && in[i] == '\r') ++i;
  if (i < in.size() && in[i] == '\n') ++i;
  return i;
}

char DetectSeparator(std::string_view header) {
  std::size_t comma = 0, semicolon = 0, tab = 0;
  bool quoted = false;
  for (char c : header) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    comma += c == ',';
    semicolon += c == ';';
    tab += c == '\t';
  }
  if (semicolon > comma && semicolon >= tab) return ';';
  if (tab > comma && tab > semicolon) return '\t';
  return ',';
}

std::string CsvField(std::string_view value, char sep) {
  const char special[] = {sep, '"', '\r', '\n', '\0'};
  if (value.find_first_of(special) == std::string_view::npos) return std::string(value);
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace eurocall::tool
