#include "Csv.h"

namespace eurocall::tool {

namespace {

bool AtRecordEnd(std::string_view in, std::size_t i) {
  return i >= in.size() || in[i] == '\n' || (in[i] == '\r' && (i + 1 >= in.size() || in[i + 1] == '\n'));
}

}  // namespace

std::vector<CsvRecord> ParseCsv(std::string_view in) {
  if (in.substr(0, 3) == "\xEF\xBB\xBF") in.remove_prefix(3);
  std::vector<CsvRecord> records;
  std::size_t i = 0, line = 1;
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
        if (!closed && rec.error.empty()) {
          rec.error = "column " + std::to_string(column) + ": quoted field is never closed";
        }
        if (closed && !AtRecordEnd(in, i) && in[i] != ',' && rec.error.empty()) {
          rec.error = "column " + std::to_string(column) + ": text after the closing quote";
        }
        while (!AtRecordEnd(in, i) && in[i] != ',') value += in[i++];
      } else {
        while (!AtRecordEnd(in, i) && in[i] != ',') value += in[i++];
      }
      rec.raw.emplace_back(in.substr(start, i - start));
      rec.text.push_back(std::move(value));
      if (i < in.size() && in[i] == ',') {
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

std::string CsvField(std::string_view value) {
  if (value.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(value);
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace eurocall::tool
