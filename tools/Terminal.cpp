// SPDX-License-Identifier: Apache-2.0
#include "Terminal.h"

#include <cstdlib>

#if defined(_WIN32)
#  define WIN32_LEAN_AND_MEAN
#  include <io.h>
#  include <windows.h>
#else
#  include <sys/ioctl.h>
#  include <unistd.h>
#endif

namespace eurocall::tool {

namespace {

constexpr int kDefaultColumns = 80;

int ColumnsFromEnvironment() {
  const char* text = std::getenv("COLUMNS");
  const int columns = text ? std::atoi(text) : 0;
  return columns > 0 ? columns : kDefaultColumns;
}

}  // namespace

#if defined(_WIN32)

bool StdinIsTerminal() { return _isatty(_fileno(stdin)) != 0; }
bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

int TerminalColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) {
    return info.srWindow.Right - info.srWindow.Left + 1;
  }
  return ColumnsFromEnvironment();
}

#else

bool StdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }
bool StderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }

int TerminalColumns() {
  struct winsize size;
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return ColumnsFromEnvironment();
}

#endif

}  // namespace eurocall::tool
