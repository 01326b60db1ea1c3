// SPDX-License-Identifier: Apache-2.0
// The command-line tool's CSV reader and number parser on arbitrary bytes.
//
// The first byte picks the separator (',', ';' or tab) and the block size the
// streaming reader reads in (1 to 64 bytes), so that records straddle reads.
// Checks, besides the sanitizers' own:
// - every record has as many raw fields as values and starts on a line no earlier than
//   the one before; a record read without error reads back to the same values after
//   writing each value as a field; a field that parses as a double prints in a form
//   that parses back to the same bits;
// - splitting the input at RecordEnd and parsing each piece on its own gives the
//   records of the whole;
// - the streaming reader hands out exactly those pieces, whatever its block size, and
//   with a small record limit cuts without losing its place: every record it hands
//   out is the input's next bytes, or a cut one no longer than the limit.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "Csv.h"
#include "CsvReader.h"
#include "Numbers.h"

namespace {

using namespace eurocall::tool;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
  }
}

bool SameDouble(double a, double b) {
  if (a != a) return b != b;
  return std::memcmp(&a, &b, sizeof a) == 0;
}

bool SameRecord(const CsvRecord& a, const CsvRecord& b) {
  return a.line == b.line && a.raw == b.raw && a.text == b.text && a.error == b.error &&
         a.unclosedQuote == b.unclosedQuote;
}

void CheckRecords(const std::vector<CsvRecord>& records, char sep) {
  std::size_t previousLine = 0;
  for (const CsvRecord& record : records) {
    Check(record.raw.size() == record.text.size(), "raw and text fields differ in number");
    Check(record.line >= 1 && record.line >= previousLine, "record lines go backwards");
    Check(!record.unclosedQuote || !record.error.empty(), "an unclosed quote is an error");
    previousLine = record.line;
    if (!record.error.empty() || record.text.empty()) continue;

    std::string written;
    for (std::size_t i = 0; i < record.text.size(); ++i) {
      if (i) written += sep;
      written += CsvField(record.text[i], sep);
    }
    written += '\n';
    const std::vector<CsvRecord> again = ParseCsv(written, sep);
    // A record of one empty field writes as a blank line, which is no record.
    if (record.text.size() == 1 && record.text[0].empty()) continue;
    Check(again.size() == 1, "a written record reads back as one record");
    Check(again[0].error.empty(), "a written record reads back without error");
    Check(again[0].text == record.text, "a written record reads back to the same values");

    for (const std::string& field : record.text) {
      double value = 0;
      if (ParseDouble(field, &value) != NumberText::kNumber) continue;
      double back = 0;
      Check(ParseDouble(FormatDouble(value), &back) == NumberText::kNumber, "a printed double parses");
      Check(SameDouble(back, value), "a printed double reads back to the same bits");
    }
  }
}

// What the streaming reader hands out, with `limit` bytes at most to a record.
std::vector<CsvReader::Record> Stream(std::string_view bytes, char sep, std::size_t limit, std::size_t block,
                                      std::vector<std::string>* texts) {
  std::vector<CsvReader::Record> records;
  std::FILE* in = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
  Check(in != nullptr, "fmemopen");
  CsvReader reader(in, limit, block);
  reader.SetSeparator(sep);
  CsvReader::Record record;
  while (reader.Next(&record)) {
    texts->emplace_back(record.text);
    records.push_back(record);
  }
  Check(reader.error().empty(), "a memory stream reads without error");
  std::fclose(in);
  return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const char sep = ",;\t"[data[0] % 3];
  const std::size_t block = 1 + (data[0] >> 2) % 64;
  const std::string_view all(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string_view input = all;
  if (input.substr(0, kByteOrderMark.size()) == kByteOrderMark) input.remove_prefix(kByteOrderMark.size());

  const std::vector<CsvRecord> records = ParseCsv(input, sep);
  CheckRecords(records, sep);

  // The whole, piece by piece.
  std::vector<std::string_view> pieces;
  std::vector<CsvRecord> pieceRecords;
  std::size_t line = 1;
  for (std::size_t at = 0; at < input.size();) {
    const std::size_t end = RecordEnd(input, at, sep, false);
    Check(end > at && end <= input.size(), "a record ends after it starts, within the input");
    const std::string_view piece = input.substr(at, end - at);
    pieces.push_back(piece);
    for (CsvRecord& r : ParseCsv(piece, sep, line)) pieceRecords.push_back(std::move(r));
    for (char c : piece) line += c == '\n';
    at = end;
  }
  Check(pieceRecords.size() == records.size(), "pieces give as many records as the whole");
  for (std::size_t i = 0; i < records.size(); ++i) {
    Check(SameRecord(pieceRecords[i], records[i]), "pieces give the records of the whole");
  }

  if (all.empty()) return 0;
  // Read in small blocks with room for any record: exactly the pieces.
  std::vector<std::string> texts;
  const std::vector<CsvReader::Record> streamed = Stream(all, sep, all.size() + 1, block, &texts);
  Check(streamed.size() == pieces.size(), "the reader hands out every piece");
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    Check(texts[i] == pieces[i], "the reader hands out the pieces");
    Check(streamed[i].cut.empty(), "no record is cut where the limit is never reached");
  }

  // With a small limit: cut records no longer than it, the others the input's own bytes.
  constexpr std::size_t kLimit = 24;
  texts.clear();
  const std::vector<CsvReader::Record> limited = Stream(all, sep, kLimit, block, &texts);
  std::size_t previousLine = 0;
  for (std::size_t i = 0; i < limited.size(); ++i) {
    Check(limited[i].line >= previousLine + (i > 0), "records start on later lines");
    previousLine = limited[i].line;
    if (!limited[i].cut.empty()) {
      Check(texts[i].size() <= kLimit, "a cut record is no longer than the limit");
      Check(texts[i].find('\n') == std::string::npos, "a cut record holds no line break");
    } else {
      Check(input.find(texts[i]) != std::string_view::npos, "an uncut record is the input's own bytes");
    }
  }
  return 0;
}
