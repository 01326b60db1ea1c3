// batch: a CSV of options in, the same rows out in the same order with one result
// column per requested export, a note column naming sentinel volatilities, and an
// error column. A row that cannot be read keeps its fields, gets empty results and
// says why; every other row is still computed.
#include <algorithm>
#include <cstdint>
#include <optional>

#include "Commands.h"
#include "Csv.h"
#include "Evaluate.h"
#include "Numbers.h"

namespace eurocall::tool {

namespace {

using P = Param;

bool IsVolatility(Export e) { return !Info(e).sentinels.empty(); }

}  // namespace

int RunBatch(const Library& library, const BatchOptions& options) {
  if (const auto missing = library.Missing(options.exports); !missing.empty()) {
    Complain(MissingExportsMessage(library, missing));
    return kNoLibrary;
  }
  const std::string source = options.input.empty() || options.input == "-" ? "<stdin>" : options.input;
  std::string input, why;
  if (!ReadAll(options.input, &input, &why)) {
    Complain(why);
    return kInputOutput;
  }
  const std::vector<CsvRecord> records = ParseCsv(input);
  if (records.empty()) {
    Complain(source + ": empty input, expected a header row naming the columns");
    return kInputOutput;
  }
  const CsvRecord& header = records.front();
  if (!header.error.empty()) {
    Complain(source + ":" + std::to_string(header.line) + ": header: " + header.error);
    return kInputOutput;
  }

  // The columns the requested exports read, each found exactly once in the header.
  std::vector<Param> needed;
  for (Export e : options.exports) {
    for (Param p : Info(e).params) {
      if (std::find(needed.begin(), needed.end(), p) == needed.end()) needed.push_back(p);
    }
  }
  std::vector<std::size_t> columnOf(kParamCount, 0);
  bool headerOk = true;
  for (Param p : needed) {
    std::size_t found = 0, count = 0;
    for (std::size_t c = 0; c < header.text.size(); ++c) {
      if (TrimBlanks(header.text[c]) == ParamName(p)) found = c, ++count;
    }
    if (count != 1) {
      std::string users;
      for (Export e : options.exports) {
        const auto& ps = Info(e).params;
        if (std::find(ps.begin(), ps.end(), p) != ps.end()) users += (users.empty() ? "" : ", ") + std::string(Info(e).name);
      }
      Complain(source + ":" + std::to_string(header.line) + ": " +
               (count == 0 ? "the header has no column '" : "the header has more than one column '") +
               std::string(ParamName(p)) + "' (read by " + users + ")");
      headerOk = false;
    }
    columnOf[std::size_t(p)] = found;
  }
  if (!headerOk) return kInputOutput;

  // Rows: read every needed field, or say what is wrong with each that cannot be read.
  const std::size_t rowCount = records.size() - 1;
  std::vector<std::string> errors(rowCount);
  std::vector<Values> jobs;
  std::vector<std::size_t> jobOfRow(rowCount, SIZE_MAX);
  for (std::size_t i = 0; i < rowCount; ++i) {
    const CsvRecord& rec = records[i + 1];
    std::vector<std::string> problems;
    if (!rec.error.empty()) {
      problems.push_back(rec.error);
    } else if (rec.text.size() != header.text.size()) {
      problems.push_back(std::to_string(rec.text.size()) + " fields where the header has " +
                         std::to_string(header.text.size()));
    } else {
      Values v{};
      for (Param p : needed) {
        const std::size_t c = columnOf[std::size_t(p)];
        if (ParseDouble(rec.text[c], &At(v, p))) continue;
        const std::string where = "column " + std::to_string(c + 1) + " (" + std::string(ParamName(p)) + "): ";
        problems.push_back(where + (TrimBlanks(rec.text[c]).empty() ? std::string("empty field")
                                                                    : "'" + rec.text[c] + "' is not a number"));
      }
      if (problems.empty()) {
        jobOfRow[i] = jobs.size();
        jobs.push_back(v);
      }
    }
    for (const std::string& p : problems) {
      errors[i] += (errors[i].empty() ? "" : "; ") + p;
      Complain(source + ":" + std::to_string(rec.line) + ": " + p);
    }
  }

  const std::vector<double> results =
      Evaluate(library, options.exports, jobs, options.threads, StderrIsTerminal());

  const bool withNote = std::any_of(options.exports.begin(), options.exports.end(), IsVolatility);
  const std::size_t width = options.exports.size();
  std::string out;
  auto appendFields = [&](const CsvRecord& rec) {
    for (std::size_t c = 0; c < std::max(rec.raw.size(), header.raw.size()); ++c) {
      if (c > 0) out += ',';
      if (c < rec.raw.size()) out += rec.raw[c];
    }
  };
  appendFields(header);
  for (Export e : options.exports) out += std::string(",") + Info(e).name;
  out += withNote ? ",note,error\n" : ",error\n";
  for (std::size_t i = 0; i < rowCount; ++i) {
    appendFields(records[i + 1]);
    std::string note;
    for (std::size_t j = 0; j < width; ++j) {
      out += ',';
      if (jobOfRow[i] == SIZE_MAX) continue;
      const double result = results[jobOfRow[i] * width + j];
      out += FormatDouble(result);
      if (const auto meaning = SentinelMeaning(options.exports[j], result)) {
        note += (note.empty() ? "" : "; ") + std::string(Info(options.exports[j]).name) + ": " + *meaning;
      }
    }
    if (withNote) out += "," + CsvField(note);
    out += "," + CsvField(errors[i].empty() ? "" : "line " + std::to_string(records[i + 1].line) + ": " + errors[i]);
    out += '\n';
  }
  if (!WriteAll(options.output, out, &why)) {
    Complain(why);
    return kInputOutput;
  }
  const std::size_t bad = rowCount - jobs.size();
  if (bad > 0) {
    Complain(std::to_string(bad) + " of " + std::to_string(rowCount) + " rows could not be read; " +
             (bad == 1 ? "its results are" : "their results are") + " empty");
    return kBadRows;
  }
  return kOk;
}

}  // namespace eurocall::tool
