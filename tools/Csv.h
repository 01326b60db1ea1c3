// Comma-separated values as spreadsheets write them: fields separated by commas,
// records by LF or CRLF, a field in double quotes may hold commas, line breaks and
// doubled quotes. Each field keeps its raw text too, so that columns the tool does not
// read are written back exactly as they came.
#ifndef EUROCALL_TOOLS_CSV_H
#define EUROCALL_TOOLS_CSV_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace eurocall::tool {

struct CsvRecord {
  std::size_t line = 0;           // line on which the record starts, from 1
  std::vector<std::string> raw;   // each field as written, quotes included
  std::vector<std::string> text;  // each field's value, quotes removed
  std::string error;              // empty, or what is malformed (with its column)
};

// Every record of `input`, in order; blank lines are not records. A leading UTF-8 byte
// order mark is dropped. A malformed record is kept, with its error, and reading goes
// on at the next line.
std::vector<CsvRecord> ParseCsv(std::string_view input);

// `value` as one field: quoted when it holds a comma, a quote or a line break.
std::string CsvField(std::string_view value);

}  // namespace eurocall::tool

#endif
