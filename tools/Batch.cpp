// SPDX-License-Identifier: Apache-2.0
// batch: a delimited file of options in, the same rows out in the same order with one
// result column per requested export, a note column and an error column.
//
//   row                                        results   note                  error
//   every argument read, inside the domain    computed  sentinel, unresolved   -
//   an argument outside the model's domain     empty     which, and its value   -
//   a field that cannot be read, or the        empty     -                      why, with its line
//   wrong number of fields
//
// The file is streamed: the main thread splits it into chunks of whole records, the
// workers parse and compute a chunk each, and the main thread writes the chunks back
// in input order. Memory is bounded by the chunks in flight, whatever the length of
// the file: at most 2 threads + 2 chunks of at most kChunkRows rows and about
// kChunkBytes of input each (a chunk with its parsed fields and its output takes about
// six times its input), plus one record of at most kMaxRecordBytes being read.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "ChunkPipeline.h"
#include "Commands.h"
#include "Csv.h"
#include "CsvReader.h"
#include "Domain.h"
#include "Files.h"
#include "Names.h"
#include "Numbers.h"
#include "Options.h"
#include "ProgressBar.h"
#include "Request.h"
#include "Terminal.h"

namespace eurocall::tool {

namespace {

using P = Param;

// Rows per chunk: enough that handing a chunk over costs little against computing it;
// for Heston prices (tens of microseconds a row) few enough that a short file still
// keeps every thread busy.
constexpr std::size_t kChunkRows = 1024;
constexpr std::size_t kCostlyChunkRows = 8;
constexpr std::size_t kChunkBytes = 256 * 1024;
// A record longer than this is cut (an unclosed quote, or no line breaks at all).
constexpr std::size_t kMaxRecordBytes = 1 << 20;
constexpr std::size_t kNoColumn = SIZE_MAX;

// What every chunk needs to know about the file, fixed once the header is read.
struct Layout {
  std::string source;  // the file's name for messages
  char separator = ',';
  std::size_t headerFields = 0;
  std::vector<Export> exports;
  std::vector<Param> read;     // the columns read, each once
  std::vector<Param> checked;  // the arguments checked against the model's domain
  std::array<std::size_t, kParamCount> column{};
  std::size_t kindColumn = kNoColumn;
};

// The exports that read `p`, for messages about a missing column.
std::string Readers(const std::vector<Export>& exports, Param p) {
  std::string users;
  for (Export e : exports) {
    const auto& ps = Info(e).params;
    if (std::find(ps.begin(), ps.end(), p) != ps.end()) users += (users.empty() ? "" : ", ") + std::string(Info(e).name);
  }
  return users;
}

// Finds the columns in the header; names are matched in any case. Complains and
// returns false where one is missing or named twice.
bool MakeLayout(const CsvRecord& header, const std::vector<Export>& exports, const std::string& source, char separator,
                Layout* layout) {
  layout->source = source;
  layout->separator = separator;
  layout->headerFields = header.text.size();
  layout->exports = exports;
  layout->column.fill(kNoColumn);
  const bool options = std::any_of(exports.begin(), exports.end(),
                                    [](Export e) { return Info(e).result != ResultKind::integrand; });
  for (Export e : exports) {
    for (Param p : Info(e).params) {
      if (std::find(layout->read.begin(), layout->read.end(), p) == layout->read.end()) layout->read.push_back(p);
    }
  }
  const std::string where = source + ":" + std::to_string(header.line) + ": ";
  bool ok = true;
  auto find = [&](std::string_view name, bool required, const std::string& readers) {
    std::size_t found = kNoColumn, count = 0;
    for (std::size_t c = 0; c < header.text.size(); ++c) {
      if (SameIgnoringCase(TrimBlanks(header.text[c]), name)) found = c, ++count;
    }
    if (count > 1 || (count == 0 && required)) {
      std::string message = where + (count == 0 ? "the header has no column '" : "the header has more than one column '") +
                            std::string(name) + "'" + (readers.empty() ? "" : " (read by " + readers + ")");
      if (header.text.size() == 1) {
        message += "; it is read as one column: is its separator other than ',', ';' or tab? --sep names it";
      }
      Complain(message);
      ok = false;
    }
    return found;
  };
  for (Param p : layout->read) layout->column[std::size_t(p)] = find(ParamName(p), true, Readers(exports, p));
  if (options) {
    // Optional: a call without a dividend where they are absent.
    layout->kindColumn = find("kind", false, "");
    if ((layout->column[std::size_t(P::q)] = find(ParamName(P::q), false, "")) != kNoColumn) layout->read.push_back(P::q);
    for (Export e : exports) {
      for (Param p : RequestParams(e)) {
        if (std::find(layout->checked.begin(), layout->checked.end(), p) == layout->checked.end()) {
          layout->checked.push_back(p);
        }
      }
    }
  } else {
    layout->checked = layout->read;
  }
  return ok;
}

// One chunk of rows, from its text to its output.
class BatchChunk : public Chunk {
 public:
  BatchChunk(const Layout& layout, std::string text, std::size_t firstLine, std::string cut)
      : layout_(layout), text_(std::move(text)), firstLine_(firstLine), cut_(std::move(cut)) {
    inputBytes = text_.size();
  }

  bool Work(const Library& library) override {
    if (!read_) Read();
    const std::size_t n = computable_.size();
    const bool finished = calls_.Run(library, layout_.exports, n, [&](std::size_t j, std::size_t i) {
      results_[j * n + i] = Compute(library, layout_.exports[j], requests_[computable_[i]]);
    });
    if (!finished) return false;
    Format(library);
    return true;
  }

  std::size_t inputBytes = 0;
  std::size_t rows = 0, unreadable = 0, outside = 0;
  std::string out, complaints;  // the rows as written, and the messages about them

 private:
  void Complaint(std::size_t line, const std::string& what) {
    complaints += "eurocall: " + layout_.source + ":" + std::to_string(line) + ": " + what + "\n";
  }

  // Every field the exports need, or what is wrong with each that cannot be read; then
  // the model's domain.
  void Read() {
    read_ = true;
    records_ = ParseCsv(text_, layout_.separator, firstLine_);
    text_ = std::string();
    if (!cut_.empty() && !records_.empty()) records_.back().error = cut_;
    rows = records_.size();
    requests_.resize(rows);
    errors_.resize(rows);
    notes_.resize(rows);
    for (std::size_t r = 0; r < rows; ++r) {
      const CsvRecord& rec = records_[r];
      std::vector<std::string> problems;
      if (!rec.error.empty()) {
        problems.push_back(rec.error);
      } else if (rec.text.size() != layout_.headerFields) {
        problems.push_back(std::to_string(rec.text.size()) + " fields where the header has " +
                           std::to_string(layout_.headerFields));
      } else {
        for (Param p : layout_.read) {
          const std::size_t c = layout_.column[std::size_t(p)];
          const NumberText status = ParseDouble(rec.text[c], &At(requests_[r].values, p));
          if (status == NumberText::kNumber) continue;
          problems.push_back("column " + std::to_string(c + 1) + " (" + std::string(ParamName(p)) +
                             "): " + NumberProblem(rec.text[c], status));
        }
        if (layout_.kindColumn != kNoColumn) {
          const std::string_view text = TrimBlanks(rec.text[layout_.kindColumn]);
          if (const auto kind = OptionKindNamed(text)) {
            requests_[r].kind = *kind;
          } else {
            problems.push_back("column " + std::to_string(layout_.kindColumn + 1) + " (kind): " +
                               (text.empty() ? std::string("empty field")
                                             : "'" + rec.text[layout_.kindColumn] + "' is neither call nor put"));
          }
        }
      }
      for (const std::string& p : problems) {
        errors_[r] += (errors_[r].empty() ? "" : "; ") + p;
        Complaint(rec.line, p);
      }
      if (!problems.empty()) {
        ++unreadable;
      } else if (auto outsideDomain = FirstOutsideDomain(layout_.checked, requests_[r].values)) {
        notes_[r] = *outsideDomain;
        Complaint(rec.line, *outsideDomain);
        ++outside;
      } else {
        computable_.push_back(r);
      }
    }
    results_.resize(layout_.exports.size() * computable_.size());
  }

  void Format(const Library& library) {
    const char sep = layout_.separator;
    const std::size_t n = computable_.size();
    std::size_t next = 0;  // position in computable_
    for (std::size_t r = 0; r < rows; ++r) {
      const CsvRecord& rec = records_[r];
      // Each field as it came; a field whose quote never closed is quoted anew, so
      // that it does not swallow the rows written after it.
      for (std::size_t c = 0; c < std::max(rec.raw.size(), layout_.headerFields); ++c) {
        if (c > 0) out += sep;
        if (c < rec.raw.size()) out += rec.unclosedQuote ? CsvField(rec.text[c], sep) : rec.raw[c];
      }
      const bool computed = next < n && computable_[next] == r;
      std::string note = notes_[r];
      for (std::size_t j = 0; j < layout_.exports.size(); ++j) {
        out += sep;
        if (!computed) continue;
        const double result = results_[j * n + next];
        out += FormatDouble(result);
        if (const auto meaning = ResultNote(library, layout_.exports[j], requests_[r], result)) {
          note += (note.empty() ? "" : "; ") + std::string(Info(layout_.exports[j]).name) + ": " + *meaning;
        }
      }
      if (computed) ++next;
      out += sep + CsvField(note, sep);
      out += sep + CsvField(errors_[r].empty() ? "" : "line " + std::to_string(rec.line) + ": " + errors_[r], sep);
      out += '\n';
    }
    records_ = {};
  }

  const Layout& layout_;
  std::string text_;
  std::size_t firstLine_;
  std::string cut_;
  bool read_ = false;
  std::vector<CsvRecord> records_;
  std::vector<Request> requests_;
  std::vector<std::string> errors_, notes_;
  std::vector<std::size_t> computable_;  // rows read in full and inside the domain
  std::vector<double> results_;          // export j of computable row i at j * n + i
  ChunkCalls calls_;
};

// "1 of 4 rows could not be read, 2 lie outside the model's domain; their results are empty"
std::string Summary(std::size_t rows, std::size_t unreadable, std::size_t outside) {
  const std::string of = " of " + std::to_string(rows) + " rows ";
  std::string s;
  if (unreadable > 0) s = std::to_string(unreadable) + of + "could not be read";
  if (outside > 0) {
    s += s.empty() ? std::to_string(outside) + of : ", " + std::to_string(outside) + " ";
    s += outside == 1 ? "lies outside the model's domain" : "lie outside the model's domain";
  }
  return s + (unreadable + outside == 1 ? "; its results are empty" : "; their results are empty");
}

struct BatchOptions {
  std::string input = "-";
  std::string output;  // empty: standard output
  unsigned threads = 1;
  std::vector<std::string> functions;  // as given to --fn
  std::string method = "exact";
  std::string separator;  // empty: detected from the header
};

// The exports --fn names, each once; complains about a name it does not know.
bool ResolveFunctions(const BatchOptions& options, std::vector<Export>* exports) {
  const std::vector<std::string> known = FunctionNames();
  for (const std::string& given : options.functions) {
    const std::string name(TrimBlanks(given));
    if (name.empty()) continue;
    const std::vector<Export> named = ExportsNamed(name, options.method);
    if (named.empty()) {
      Complain("batch: --fn: unknown function '" + name + "'" + DidYouMean(name, known) +
               " (run 'eurocall batch --help' for the names)");
      return false;
    }
    for (Export e : named) {
      if (std::find(exports->begin(), exports->end(), e) == exports->end()) exports->push_back(e);
    }
  }
  if (exports->empty()) Complain("batch: --fn names no function");
  return !exports->empty();
}

int RunBatch(const Library& library, const BatchOptions& options) {
  std::vector<Export> exports;
  if (!ResolveFunctions(options, &exports)) return kUsage;
  if (const auto missing = library.Missing(ExportsNeeded(exports)); !missing.empty()) {
    Complain(MissingExportsMessage(library, missing));
    return kNoLibrary;
  }
  std::string why;
  InputFile input;
  if (!input.Open(options.input, &why)) {
    // "--fn BSCall, BSVol" unquoted leaves BSVol as the file's name.
    if (!ExportsNamed(options.input, options.method).empty()) {
      why += " (a function? --fn takes its list as one argument: --fn 'BSCall, " + options.input + "')";
    }
    Complain(why);
    return kInputOutput;
  }
  const bool typing = input.standard() && StdinIsTerminal();
  if (typing) Complain("reading CSV from the terminal: type the header and the rows, then Ctrl-D; or give a FILE");

  CsvReader reader(input.get(), kMaxRecordBytes);
  const std::string_view firstLine = reader.PeekLine();
  if (firstLine.empty()) {
    Complain(!reader.error().empty() ? input.ReadFailure(reader.error())
                                     : input.name() + ": empty input, expected a header row naming the columns");
    return kInputOutput;
  }
  const char separator = options.separator.empty() ? DetectSeparator(firstLine) : options.separator[0];
  reader.SetSeparator(separator);
  CsvReader::Record headerText;
  reader.Next(&headerText);
  const std::vector<CsvRecord> headers = ParseCsv(headerText.text, separator, headerText.line);
  if (headers.empty()) {
    Complain(input.name() + ": empty input, expected a header row naming the columns");
    return kInputOutput;
  }
  CsvRecord header = headers.front();
  if (!headerText.cut.empty()) header.error = headerText.cut;
  if (!header.error.empty()) {
    Complain(input.name() + ":" + std::to_string(header.line) + ": header: " + header.error);
    return kInputOutput;
  }
  Layout layout;
  if (!MakeLayout(header, exports, input.name(), separator, &layout)) return kInputOutput;

  // Opened before any row is read: a bad path fails now, not after the work.
  OutputFile output;
  if (!output.Open(options.output, &input, &why)) {
    Complain(why);
    return kInputOutput;
  }
  std::string head;
  for (std::size_t c = 0; c < header.raw.size(); ++c) head += (c ? std::string(1, separator) : "") + header.raw[c];
  for (Export e : exports) head += separator + std::string(Info(e).name);
  head += separator + std::string("note") + separator + "error\n";
  if (!output.Write(head, &why)) {
    Complain(why);
    return kInputOutput;
  }

  const bool costly = std::any_of(exports.begin(), exports.end(), [](Export e) { return Info(e).costly; });
  const std::size_t chunkRows = costly ? kCostlyChunkRows : kChunkRows;
  const std::size_t maxInFlight = 2 * std::size_t(options.threads) + 2;
  ChunkPipeline pipeline(library, options.threads);

  ProgressBar bar(StderrIsTerminal() && !typing);
  std::size_t rowsRead = 0, rowsDone = 0, rows = 0, unreadable = 0, outside = 0;
  std::uint64_t bytesDone = 0;
  const double size = double(input.size());
  auto progress = [&] {
    const double unknown = std::nan("");
    bar.Update(rowsDone, rowsRead, size > 0 ? double(bytesDone) / size : unknown,
               size > 0 ? double(reader.bytesRead()) / size : unknown);
  };
  auto writeOldest = [&] {
    const std::unique_ptr<Chunk> taken = pipeline.TakeOldest(progress);
    const BatchChunk& chunk = static_cast<const BatchChunk&>(*taken);
    if (!chunk.complaints.empty()) {
      bar.Clear();
      std::fputs(chunk.complaints.c_str(), stderr);
    }
    rows += chunk.rows;
    unreadable += chunk.unreadable;
    outside += chunk.outside;
    rowsDone += chunk.rows;
    bytesDone += chunk.inputBytes;
    progress();
    return output.Write(chunk.out, &why);
  };

  std::string text;
  std::size_t chunkFirstLine = 0, chunkRecords = 0;
  CsvReader::Record record;
  bool written = true;
  while (written && reader.Next(&record)) {
    if (text.empty()) chunkFirstLine = record.line;
    text.append(record.text);
    ++chunkRecords;
    ++rowsRead;
    // A cut record may leave a quote open: nothing may follow it in its chunk.
    if (!record.cut.empty() || chunkRecords >= chunkRows || text.size() >= kChunkBytes) {
      while (written && pipeline.InFlight() >= maxInFlight) written = writeOldest();
      pipeline.Give(std::make_unique<BatchChunk>(layout, std::move(text), chunkFirstLine, record.cut));
      text = std::string();
      chunkRecords = 0;
    }
  }
  if (written && !text.empty()) pipeline.Give(std::make_unique<BatchChunk>(layout, std::move(text), chunkFirstLine, ""));
  while (written && pipeline.InFlight() > 0) written = writeOldest();
  bar.Clear();
  if (!written || !output.Close(&why)) {
    Complain(why);
    return kInputOutput;
  }
  if (!reader.error().empty()) {
    Complain(input.ReadFailure(reader.error()) + "; the rows before were written");
    return kInputOutput;
  }
  if (unreadable + outside > 0) {
    Complain(Summary(rows, unreadable, outside));
    return kBadRows;
  }
  return kOk;
}

}  // namespace

Command AddBatchCommand(CLI::App& tool) {
  auto options = std::make_shared<BatchOptions>();
  options->threads = DefaultThreads();
  CLI::App* app = tool.add_subcommand("batch", "compute exports for every row of a CSV file");
  // The names --fn takes: a line of exports, a line of commands.
  const std::vector<std::string> known = FunctionNames();
  std::string exportNames, commandNames;
  for (std::size_t i = 0; i < known.size(); ++i) {
    std::string& line = i < kExportCount ? exportNames : commandNames;
    line += (line.empty() ? "  " : ", ") + known[i];
  }
  app->footer(
      "The header row names the columns, in any case: S, K, T, r, vol, price, v0, theta, kappa, sigma, rho, x, phi,\n"
      "and for prices and volatilities kind (call or put; call where absent) and q (dividend yield; 0 where\n"
      "absent). Any other column passes through untouched. Fields are separated by ',', ';' or a tab, as the\n"
      "header shows, or as --sep says. The rows come out in input order with one column per export, then note\n"
      "(a sentinel or unresolved volatility, or an argument outside the model's domain: its results are empty)\n"
      "and error (why a row could not be read: its results are empty). Either makes the exit status 1.\n"
      "--fn takes export names and command names:\n" + exportNames + "\n" + commandNames + "\n"
      "heston-call and heston-vol stand for their exact export, their fast one, or both, as --method says.\n"
      "The file is streamed: memory stays within a few MiB per thread whatever its length.\n");
  app->add_option("FILE", options->input, "CSV input, - for standard input")->capture_default_str();
  app->add_option("-o,--output", options->output, "write the CSV here instead of standard output");
  app->add_option("--threads", options->threads, "worker threads; the output is the same for every count")
      ->check(CLI::Range(1u, 1024u))
      ->capture_default_str();
  // One argument to each --fn, so that a FILE after it is not taken for a function.
  app->add_option("--fn", options->functions, "functions to compute, by export or command name, comma-separated")
      ->required()
      ->allow_extra_args(false)
      ->delimiter(',')
      ->type_name("NAME[,NAME...]");
  AddMethod(app, &options->method, {"exact", "fast", "both"});
  app->add_option("--sep", options->separator, "field separator: ',', ';' or tab (default: as the header shows)")
      ->transform([](std::string text) {
        if (SameIgnoringCase(text, "tab") || text == "\\t") text = "\t";
        if (text != "," && text != ";" && text != "\t") throw CLI::ValidationError("--sep", "'" + text + "' is not ',', ';' or tab");
        return text;
      })
      ->type_name("SEP");
  return {app, [options](const Library& library) { return RunBatch(library, *options); }};
}

}  // namespace eurocall::tool
