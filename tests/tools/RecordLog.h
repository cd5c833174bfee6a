// Reading the log that recordargs.exe appends to (its format is described at the top of
// tests/tools/recordargs.cpp). Header-only and platform-free, for the module and end-to-end tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kestel::testing {

// One start of recordargs.exe as it recorded it.
struct RecordedStart {
  std::uint32_t pid = 0;
  bool usesShowWindow = false;   // STARTF_USESHOWWINDOW was set
  std::uint32_t showWindow = 0;  // wShowWindow: SW_HIDE 0, SW_SHOW 5, ...
  std::string commandLine;       // exactly as the program received it
};

namespace detail {

inline std::optional<std::uint32_t> ParseDecimal(std::string_view text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

// The next tab-separated field, taken off the front of rest; nullopt when no tab follows it.
inline std::optional<std::string_view> TakeField(std::string_view& rest) {
  const std::size_t tab = rest.find('\t');
  if (tab == std::string_view::npos) return std::nullopt;
  const std::string_view field = rest.substr(0, tab);
  rest.remove_prefix(tab + 1);
  return field;
}

}  // namespace detail

// One line, without its line end (a trailing CR is tolerated); nullopt when it is not a record.
inline std::optional<RecordedStart> ParseRecordLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const auto pid = detail::TakeField(line);
  const auto uses = detail::TakeField(line);
  const auto show = detail::TakeField(line);
  if (!pid || !uses || !show) return std::nullopt;
  RecordedStart start;
  const auto pidValue = detail::ParseDecimal(*pid);
  const auto showValue = detail::ParseDecimal(*show);
  if (!pidValue || !showValue || (*uses != "0" && *uses != "1")) return std::nullopt;
  start.pid = *pidValue;
  start.usesShowWindow = *uses == "1";
  start.showWindow = *showValue;
  start.commandLine = std::string(line);
  return start;
}

// Every complete line of a log, in order. A last line without its line end is still being
// written and is left out; a line that is not a record yields nullopt for the whole log.
inline std::optional<std::vector<RecordedStart>> ParseRecordLog(std::string_view text) {
  std::vector<RecordedStart> starts;
  for (std::size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n')) {
    const auto start = ParseRecordLine(text.substr(0, end));
    if (!start) return std::nullopt;
    starts.push_back(*start);
    text.remove_prefix(end + 1);
  }
  return starts;
}

// The log file's records; an empty list when the file does not exist (nobody has started yet).
inline std::optional<std::vector<RecordedStart>> ReadRecordLog(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::vector<RecordedStart>{};
  std::ostringstream content;
  content << in.rdbuf();
  return ParseRecordLog(content.str());
}

// Waits, at most timeout, until the log holds at least count records; returns what it last read.
inline std::vector<RecordedStart> WaitForRecords(const std::string& path, std::size_t count,
                                                 std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::vector<RecordedStart> last;
  for (;;) {
    if (auto starts = ReadRecordLog(path)) last = std::move(*starts);
    if (last.size() >= count || std::chrono::steady_clock::now() >= deadline) return last;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace kestel::testing
