// SPDX-License-Identifier: Apache-2.0
// Delimited values as spreadsheets write them: fields separated by a comma, a semicolon
// or a tab, records by LF or CRLF, a field in double quotes may hold separators, line
// breaks and doubled quotes. Each field keeps its raw text too, so that columns the
// tool does not read are written back exactly as they came.
//
// A quote opens a quoted field only as the field's first byte; anywhere else it is an
// ordinary byte. After the closing quote, the bytes up to the next separator or record
// end are kept in the value but the record is marked malformed.
#ifndef EUROCALL_TOOLS_CSV_H
#define EUROCALL_TOOLS_CSV_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace eurocall::tool {

struct CsvRecord {
  std::size_t line = 0;           // line on which the record starts
  std::vector<std::string> raw;   // each field as written, quotes included
  std::vector<std::string> text;  // each field's value, quotes removed
  std::string error;              // empty, or what is malformed (with its column)
  // A quoted field runs to the end of the input: its raw text would open a quote in
  // whatever it is written into.
  bool unclosedQuote = false;
};

// Every record of `input`, in order, the first starting on line `firstLine`; blank lines
// are not records. A malformed record is kept, with its error, and reading goes on at
// the next line. The whole of `input` is read: a quoted field still open at its end is
// never closed.
std::vector<CsvRecord> ParseCsv(std::string_view input, char separator = ',', std::size_t firstLine = 1);

// Where the record that starts at `start` ends: the index just past its line break, or
// input.size() for a last record without one. When `more` says that input may follow,
// a record that reaches the end of `input` (or whose end could still turn out
// otherwise: a final CR, a final quote) is not complete, and the result is npos.
// Splitting an input at these ends and parsing the pieces gives ParseCsv's records.
std::size_t RecordEnd(std::string_view input, std::size_t start, char separator, bool more);

// The separator of a header line: whichever of ',', ';' and tab occurs most often in it
// outside quotes; ',' when none does (a single column) or on a tie with ','.
char DetectSeparator(std::string_view headerLine);

// `value` as one field: quoted when it holds the separator, a quote or a line break.
std::string CsvField(std::string_view value, char separator = ',');

// A leading UTF-8 byte order mark, which spreadsheets write and which is no data.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace eurocall::tool

#endif
