// SPDX-License-Identifier: Apache-2.0
#include "ToolHarness.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace eurocall::testing {

namespace fs = std::filesystem;

std::vector<std::string> WithOptions(std::vector<std::string> args, const std::vector<std::string>& change) {
  for (std::size_t i = 0; i + 1 < change.size(); i += 2) {
    auto at = std::find(args.begin(), args.end(), change[i]);
    if (at == args.end()) {
      args.insert(args.end(), {change[i], change[i + 1]});
    } else {
      at[1] = change[i + 1];
    }
  }
  return args;
}

std::string ScratchDir() {
  static const std::string dir = [] {
    const std::string d = std::string(EUROCALL_SCRATCH_DIR) + "/" + std::to_string(getpid());
    fs::remove_all(d);
    fs::create_directories(d);
    return d;
  }();
  return dir;
}

std::string WriteScratchFile(const std::string& name, const std::string& content) {
  const std::string path = ScratchDir() + "/" + name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string LoneToolCopy() {
  const std::string dir = ScratchDir() + "/alone";
  const std::string copy = dir + "/" + fs::path(EUROCALL_TOOL).filename().string();
  if (!fs::exists(copy)) {
    fs::create_directories(dir);
    fs::copy_file(EUROCALL_TOOL, copy);
    fs::permissions(copy, fs::perms::owner_all, fs::perm_options::add);
  }
  return copy;
}

Outcome RunTool(const std::vector<std::string>& args, const RunOptions& options) {
  static std::atomic<int> counter{0};
  const std::string stem = ScratchDir() + "/run" + std::to_string(counter++);
  const std::string in = stem + ".in", out = stem + ".out", err = stem + ".err";
  std::ofstream(in, std::ios::binary) << options.input;

  std::vector<std::string> argStrings = {options.tool};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argStrings) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::vector<std::string> envStrings;
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, "EUROCALL_LIBRARY=", 17) != 0) envStrings.emplace_back(*e);
  }
  for (const auto& [k, v] : options.env) envStrings.push_back(k + "=" + v);
  std::vector<char*> envp;
  for (std::string& e : envStrings) envp.push_back(e.data());
  envp.push_back(nullptr);

  // A terminal for standard error (and standard input), of the width asked for.
  int terminal = -1, terminalSide = -1;
  if (options.terminalColumns > 0) {
    struct winsize size = {};
    size.ws_row = 24;
    size.ws_col = options.terminalColumns;
    if (openpty(&terminal, &terminalSide, nullptr, nullptr, &size) != 0) {
      Outcome o;
      o.err = kNoTerminal + std::string(std::strerror(errno));
      return o;
    }
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (terminal >= 0 && options.terminalInput) {
    posix_spawn_file_actions_adddup2(&actions, terminalSide, 0);
  } else {
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (terminal >= 0) {
    posix_spawn_file_actions_adddup2(&actions, terminalSide, 2);
    posix_spawn_file_actions_addclose(&actions, terminalSide);
    posix_spawn_file_actions_addclose(&actions, terminal);
  } else {
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  pid_t pid;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (terminalSide >= 0) close(terminalSide);
  Outcome o;
  if (spawned != 0) {
    if (terminal >= 0) close(terminal);
    o.err = std::string("spawn failed: ") + std::strerror(spawned);
    return o;
  }
  if (terminal >= 0) {
    // Typed, then Ctrl-D at the start of a line: the end of the input.
    if (options.terminalInput) {
      const std::string typed = options.input + "\x04";
      if (write(terminal, typed.data(), typed.size()) != ssize_t(typed.size())) o.err = "cannot type the input\n";
    }
    // Everything the tool writes to the terminal, until it has closed its side (EIO).
    char buffer[4096];
    for (;;) {
      struct pollfd ready = {terminal, POLLIN, 0};
      if (poll(&ready, 1, 30000) <= 0) {
        kill(pid, SIGKILL);
        o.err += "\n(timed out)";
        break;
      }
      const ssize_t n = read(terminal, buffer, sizeof buffer);
      if (n <= 0) break;
      o.err.append(buffer, std::size_t(n));
    }
    close(terminal);
  }
  int status = 0;
  struct rusage usage = {};
  wait4(pid, &status, 0, &usage);
  o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  o.peakResidentKiB = usage.ru_maxrss;
  o.out = ReadFile(out);
  if (terminal < 0) o.err = ReadFile(err);
  return o;
}

DirectLibrary::DirectLibrary() : handle_(dlopen(EUROCALL_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL)) {
  if (!handle_) throw std::runtime_error(dlerror());
}

DirectLibrary::~DirectLibrary() { dlclose(handle_); }

bool DirectLibrary::Has(const std::string& name) const { return dlsym(handle_, name.c_str()) != nullptr; }

double DirectLibrary::Call(const std::string& name, const std::vector<double>& a) const {
  void* f = dlsym(handle_, name.c_str());
  if (!f) throw std::runtime_error(name + " is not exported");
  switch (a.size()) {
    case 5:
      return reinterpret_cast<double (*)(double, double, double, double, double)>(f)(a[0], a[1], a[2], a[3], a[4]);
    case 8:
      return reinterpret_cast<double (*)(double, double, double, double, double, double, double, double)>(f)(
          a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
    case 9:
      return reinterpret_cast<double (*)(double, double, double, double, double, double, double, double, double)>(
          f)(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]);
    default:
      throw std::runtime_error("no export takes " + std::to_string(a.size()) + " arguments");
  }
}

const DirectLibrary& Library() {
  static const DirectLibrary library;
  return library;
}

bool Exports(const std::vector<std::string>& names) {
  for (const std::string& n : names) {
    if (!Library().Has(n)) return false;
  }
  return true;
}

std::optional<double> ParseNumber(const std::string& text) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return std::nullopt;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size()) return std::nullopt;
  return v;
}

bool IsShortestRoundTrip(const std::string& text, double value) {
  const auto parsed = ParseNumber(text);
  if (!parsed) return false;
  if (std::isnan(value)) return std::isnan(*parsed) && text.size() <= 4;  // payloads aside
  if (std::memcmp(&*parsed, &value, sizeof value) != 0) return false;
  if (!std::isfinite(value) || value == 0) return text.size() <= 4;
  // Significant digits of the text: the digits of its mantissa without leading zeros,
  // and without the trailing zeros of an integer ("100" has one). A fraction ending in
  // 0 is never the shortest form.
  const std::string mantissa = text.substr(0, text.find_first_of("eE"));
  if (mantissa.find('.') != std::string::npos && mantissa.back() == '0') return false;
  std::string digits;
  for (char c : mantissa) {
    if (std::isdigit(static_cast<unsigned char>(c)) && !(digits.empty() && c == '0')) digits += c;
  }
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  const int n = int(digits.size());
  if (n <= 1) return true;
  char shorter[64];
  std::snprintf(shorter, sizeof shorter, "%.*g", n - 1, value);
  return std::strtod(shorter, nullptr) != value;
}

std::vector<std::vector<std::string>> ReadCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false, any = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
      any = true;
    } else if (c == ',') {
      row.push_back(field);
      field.clear();
      any = true;
    } else if (c == '\n') {
      row.push_back(field);
      rows.push_back(row);
      row.clear();
      field.clear();
      any = false;
    } else {
      field += c;
      any = true;
    }
  }
  if (any) {
    row.push_back(field);
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace eurocall::testing
