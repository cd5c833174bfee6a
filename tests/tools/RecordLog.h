// Reading the log that recordargs.exe appends to (its format is described at the top of
// tests/tools/recordargs.cpp). Header-only and platform-free, for the module and end-to-end tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "LineLog.h"

namespace kestel::testing {

// One start of recordargs.exe as it recorded it.
struct RecordedStart {
  std::uint32_t pid = 0;
  bool usesShowWindow = false;   // STARTF_USESHOWWINDOW was set
  std::uint32_t showWindow = 0;  // wShowWindow: SW_HIDE 0, SW_SHOW 5, ...
  std::string commandLine;       // exactly as the program received it
};

namespace detail {

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
  const auto pidValue = ParseDecimal(*pid);
  const auto showValue = ParseDecimal(*show);
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
  return ParseCompleteLines(text, ParseRecordLine);
}

// The log file's records; an empty list when the file does not exist (nobody has started yet).
inline std::optional<std::vector<RecordedStart>> ReadRecordLog(const std::string& path) {
  const auto content = ReadWholeFile(path);
  return content ? ParseRecordLog(*content) : std::vector<RecordedStart>{};
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
