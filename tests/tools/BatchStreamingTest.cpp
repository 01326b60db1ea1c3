// SPDX-License-Identifier: Apache-2.0
// batch on a file of any length: read, computed and written in chunks, so that memory
// does not grow with the file; the output opened before the first row is read; and at
// a terminal, a hint for typed input and a progress bar that fits the width.
#include <fstream>

#include <gtest/gtest.h>

#include "support/Ulps.h"
#include "ToolHarness.h"

namespace eurocall::testing {
namespace {

#if defined(__SANITIZE_ADDRESS__)
#  define EUROCALL_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#  if __has_feature(address_sanitizer)
#    define EUROCALL_ADDRESS_SANITIZER 1
#  endif
#endif

// What the tool may hold whatever the file's length: the chunks in flight for two
// threads come to a few MiB, the program and the library to a few more.
constexpr long kBoundedResidentKiB = 32 * 1024;

std::string MillionRowLine(long i) {
  return "100," + std::to_string(60 + i % 80) + "," + std::to_string(1 + i % 20) + ",0.03,0." +
         std::to_string(10 + i % 30) + "\n";
}

TEST(BatchStreaming, AMillionRowsInMemoryThatDoesNotGrowWithTheFile) {
#if defined(EUROCALL_ADDRESS_SANITIZER)
  GTEST_SKIP() << "AddressSanitizer's shadow memory and quarantine make the resident size no measure of the tool's";
#endif
  constexpr long kRows = 1000000;
  const std::string input = ScratchDir() + "/million.csv", output = ScratchDir() + "/million-out.csv";
  {
    std::ofstream file(input, std::ios::binary);
    std::string block = "S,K,T,r,vol\n";
    for (long i = 0; i < kRows; ++i) {
      block += MillionRowLine(i);
      if (block.size() > (1 << 20)) file << block, block.clear();
    }
    file << block;
  }
  const Outcome o = RunTool({"batch", input, "--fn", "BSCall", "--threads", "2", "-o", output});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.err, "");
  ::testing::Test::RecordProperty("peak_resident_kib", std::to_string(o.peakResidentKiB));
  std::printf("peak resident size of a %ld-row batch: %ld KiB\n", kRows, o.peakResidentKiB);
  EXPECT_LT(o.peakResidentKiB, kBoundedResidentKiB);

  // Every row, in order, with the library's price for a sample of them.
  std::ifstream out(output, std::ios::binary);
  std::string line;
  std::getline(out, line);
  EXPECT_EQ(line, "S,K,T,r,vol,BSCall,note,error");
  long rows = 0;
  for (; std::getline(out, line); ++rows) {
    const std::string in = MillionRowLine(rows);
    ASSERT_EQ(line.substr(0, in.size()), in.substr(0, in.size() - 1) + ",") << "row " << rows;
    ASSERT_EQ(line.substr(line.size() - 2), ",,");
    if (rows % 99991 != 0) continue;
    const auto fields = ReadCsv(line)[0];
    const double expected = Library().Call(
        "BSCall", {100, double(60 + rows % 80), double(1 + rows % 20), 0.03, ParseNumber(fields[4]).value()});
    EXPECT_TRUE(IsShortestRoundTrip(fields[5], expected)) << line;
  }
  EXPECT_EQ(rows, kRows);
  out.close();
  std::remove(input.c_str());
  std::remove(output.c_str());
}

TEST(BatchStreaming, TheOutputIsOpenedBeforeAnyRowIsRead) {
  // Header fine, rows never looked at: no word about the bad row, only the output.
  const std::string target = ScratchDir() + "/no/such/dir/out.csv";
  const Outcome o = RunTool({"batch", "--fn", "BSCall", "-o", target},
                            WithInput("S,K,T,r,vol\n100,abc,1,0.05,0.2\n100,100,1,0.05,0.2\n"));
  EXPECT_EQ(o.status, 4);
  EXPECT_EQ(o.err, "eurocall: cannot write '" + target + "': No such file or directory\n");

  // Nor may it be the input, which opening it would empty.
  const std::string csv = "S,K,T,r,vol\n100,100,1,0.05,0.2\n";
  const std::string input = WriteScratchFile("in-place.csv", csv);
  const Outcome inPlace = RunTool({"batch", input, "--fn", "BSCall", "-o", input});
  EXPECT_EQ(inPlace.status, 4);
  EXPECT_NE(inPlace.err.find("cannot write '" + input + "': it is the input file"), std::string::npos) << inPlace.err;
  EXPECT_EQ(ReadFile(input), csv);
}

TEST(BatchStreaming, ARecordLeftOpenByAQuoteIsCutAndReadingGoesOn) {
  // A quote that never closes would make the rest of the file one field; after 1 MiB the
  // record is cut at its first line and the next lines are rows again.
  std::string csv = "S,K,T,r,vol\n100,\"100,1,0.05,0.2\n";
  const long rows = 60000;  // 1.14 MB
  for (long i = 0; i < rows; ++i) csv += "100,100,1,0.05,0.2\n";
  const Outcome o = RunTool({"batch", "--fn", "BSCall"}, WithInput(csv));
  EXPECT_EQ(o.status, 1);
  const auto lines = SplitLines(o.out);
  ASSERT_EQ(lines.size(), std::size_t(rows + 2));
  // Its fields come out quoted anew, so that the quote does not run on in the output.
  EXPECT_EQ(lines[1], "100,\"100,1,0.05,0.2\",,,,,,line 2: a quoted field is not closed within 1048576 bytes; read again "
                      "from the next line");
  const double call = Library().Call("BSCall", {100, 100, 1, 0.05, 0.2});
  EXPECT_TRUE(IsShortestRoundTrip(ReadCsv(lines.back())[0][5], call)) << lines.back();
  EXPECT_NE(o.err.find("eurocall: 1 of 60001 rows could not be read; its results are empty"), std::string::npos) << o.err;
}

TEST(BatchStreaming, TypedInputGetsAHintAndNoProgressBar) {
  RunOptions options;
  options.terminalColumns = 80;
  options.terminalInput = true;
  options.input = "S,K,T,r,vol\n100,100,1,0.05,0.2\n";
  const Outcome o = RunTool({"batch", "--fn", "BSCall"}, options);
  if (o.err.rfind(kNoTerminal, 0) == 0) GTEST_SKIP() << o.err;
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.err.find("eurocall: reading CSV from the terminal: type the header and the rows, then Ctrl-D; or give a FILE\r\n"),
            std::string::npos)
      << o.err;
  EXPECT_EQ(o.err.find('%'), std::string::npos) << o.err;
  EXPECT_EQ(SplitLines(o.out).size(), 2u) << o.out;
}

TEST(BatchStreaming, TheProgressBarFitsANarrowTerminal) {
  // Heston prices on one thread where the integrand decays slowly (a fraction of a
  // millisecond each): long enough for the bar to be drawn several times, which it is
  // from half a second on, every tenth of a second. The sanitizers slow the tool down.
#if defined(EUROCALL_ADDRESS_SANITIZER)
  const int rows = 2000;
#else
  const int rows = 8000;
#endif
  std::string csv = "S,K,T,r,v0,theta,kappa,sigma,rho\n";
  for (int i = 0; i < rows; ++i) {
    csv += "100," + std::to_string(70 + i % 60) + "," + std::to_string(0.1 + i % 20 * 0.1) + ",0.03,0.01,0.05,1.5,1,-0.9\n";
  }
  const std::string input = WriteScratchFile("progress.csv", csv);
  RunOptions options;
  options.terminalColumns = 50;
  const Outcome o = RunTool({"batch", input, "--fn", "HestonCall_exact", "--threads", "1", "-o", "/dev/null"}, options);
  if (o.err.rfind(kNoTerminal, 0) == 0) GTEST_SKIP() << o.err;
  EXPECT_EQ(o.status, 0) << o.err;
  // Each drawing starts with a CR and replaces the one before on the same line.
  std::vector<std::string> drawn;
  for (std::size_t at = o.err.find('\r'); at != std::string::npos;) {
    const std::size_t next = o.err.find('\r', at + 1);
    std::string text = o.err.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    if (!text.empty()) drawn.push_back(text);
    at = next;
  }
  ASSERT_GE(drawn.size(), 2u) << o.err;
  for (const std::string& d : drawn) {
    SCOPED_TRACE(d);
    EXPECT_LE(d.size(), 49u);  // short of the last column, so it never wraps
    EXPECT_EQ(d.find('\n'), std::string::npos);
    EXPECT_NE(d.find("% ["), std::string::npos);
    EXPECT_NE(d.find(" rows, read "), std::string::npos);
  }
  // The last thing on the terminal is a blank line: the bar erased.
  EXPECT_EQ(o.err.back(), '\r');
}

}  // namespace
}  // namespace eurocall::testing
