// The command-line tool's CSV reader and number parser on arbitrary bytes.
//
// Checks, besides the sanitizers' own: every record has as many raw fields as values
// and starts on a line no earlier than the one before; a record read without error
// reads back to the same values after writing each value as a field; a field that
// parses as a double prints in a form that parses back to the same bits.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "Csv.h"
#include "Numbers.h"

namespace {

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace eurocall::tool;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::vector<CsvRecord> records = ParseCsv(input);
  std::size_t previousLine = 0;
  for (const CsvRecord& record : records) {
    Check(record.raw.size() == record.text.size(), "raw and text fields differ in number");
    Check(record.line >= 1 && record.line >= previousLine, "record lines go backwards");
    previousLine = record.line;
    if (!record.error.empty() || record.text.empty()) continue;

    // Behind a first record, so that a value starting with a byte order mark is not
    // taken for the mark that may open a file.
    std::string written = "h\n";
    for (std::size_t i = 0; i < record.text.size(); ++i) {
      if (i) written += ',';
      written += CsvField(record.text[i]);
    }
    written += '\n';
    const std::vector<CsvRecord> again = ParseCsv(written);
    // A record of one empty field writes as a blank line, which is no record.
    if (record.text.size() == 1 && record.text[0].empty()) continue;
    Check(again.size() == 2, "a written record reads back as one record");
    Check(again[1].error.empty(), "a written record reads back without error");
    Check(again[1].text == record.text, "a written record reads back to the same values");

    for (const std::string& field : record.text) {
      double value = 0;
      if (!ParseDouble(field, &value)) continue;
      double back = 0;
      Check(ParseDouble(FormatDouble(value), &back), "a printed double parses");
      Check(SameDouble(back, value), "a printed double reads back to the same bits");
    }
  }
  return 0;
}
