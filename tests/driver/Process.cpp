#include "Process.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <stdexcept>
#include <string_view>

#include "../tools/WideText.h"

namespace kestel::driver {

namespace {

bool NamesEqual(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
  });
}

// The name part of "NAME=value"; entries such as "=C:=C:\" keep their leading '=' in the name.
std::string_view NameOf(std::string_view entry) {
  return entry.substr(0, entry.find('=', 1));
}

// To standard error, and appended to the file KESTEL_RETRY_LOG names, where the suite's script shows
// it as it comes: a passing test's own output is not shown.
void ReportRetry(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
  char path[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableA("KESTEL_RETRY_LOG", path, sizeof path);
  if (length == 0 || length >= sizeof path) return;
  const UniqueHandle file(CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

std::string BuildEnvironmentBlock(const EnvOverrides& overrides) {
  std::vector<std::string> entries;
  if (wchar_t* block = GetEnvironmentStringsW()) {
    for (const wchar_t* entry = block; *entry != L'\0'; entry += std::wstring_view(entry).size() + 1)
      entries.push_back(testing::Utf8OfWide(entry));
    FreeEnvironmentStringsW(block);
  }
  for (const auto& [name, value] : overrides) {
    const auto same = [&](const std::string& entry) { return NamesEqual(NameOf(entry), name); };
    const auto found = std::find_if(entries.begin(), entries.end(), same);
    if (!value) {
      entries.erase(std::remove_if(entries.begin(), entries.end(), same), entries.end());
    } else if (found != entries.end()) {
      *found = name + "=" + *value;
      entries.erase(std::remove_if(found + 1, entries.end(), same), entries.end());
    } else {
      entries.push_back(name + "=" + *value);
    }
  }
  std::string block;
  for (const auto& entry : entries) block += entry + '\0';
  block += '\0';
  if (entries.empty()) block += '\0';  // an empty block is still two zeros
  return block;
}

// ---- Process ------------------------------------------------------------------------------------

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    Terminate();
    process_ = std::move(other.process_);
    pid_ = other.pid_;
  }
  return *this;
}

Process::~Process() {
  Terminate();
}

std::optional<DWORD> Process::WaitExit(Milliseconds timeout) {
  if (!process_) return std::nullopt;
  if (WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  if (!GetExitCodeProcess(process_.get(), &code)) return std::nullopt;
  return code;
}

bool Process::Running() const {
  return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

void Process::Terminate() {
  if (!Running()) return;
  TerminateProcess(process_.get(), 255);
  WaitForSingleObject(process_.get(), 10000);
}

Process StartProgram(const std::string& program, const StartOptions& options) {
  std::string commandLine = "\"" + program + "\"";
  if (!options.arguments.empty()) commandLine += " " + options.arguments;
  std::wstring wideCommandLine = testing::WideOfUtf8(commandLine);
  // The block's zeros come through the conversion as they are.
  std::wstring block = testing::WideOfUtf8(BuildEnvironmentBlock(options.env));
  const std::wstring wideProgram = testing::WideOfUtf8(program);
  const std::wstring workingDir = testing::WideOfUtf8(options.workingDir);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (options.output != nullptr) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = options.output;
  }
  PROCESS_INFORMATION info{};
  // Wine now and then refuses to start a process under load with ERROR_INTERNAL_ERROR. That one
  // failure of Wine's, and no other, gets at most two more tries, each said aloud so that a run's
  // output counts them.
  for (int retries = 0;; ++retries) {
    if (CreateProcessW(wideProgram.c_str(), wideCommandLine.data(), nullptr, nullptr, options.output != nullptr,
                       CREATE_UNICODE_ENVIRONMENT, block.data(), workingDir.empty() ? nullptr : workingDir.c_str(),
                       &startup, &info))
      break;
    const DWORD error = GetLastError();
    if (error != ERROR_INTERNAL_ERROR || retries == 2)
      throw std::runtime_error("cannot start " + program + " (error " + std::to_string(error) + ")");
    ReportRetry("retried start of " + program.substr(program.find_last_of("\\/") + 1) + ": error " +
                std::to_string(error));
  }
  const UniqueHandle thread(info.hThread);
  return Process(UniqueHandle(info.hProcess), info.dwProcessId);
}

}  // namespace kestel::driver
