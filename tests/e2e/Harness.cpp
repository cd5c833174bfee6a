#include "Harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "../tools/WideText.h"
#include "../wine/UserProfileValues.h"

namespace kestel::e2e {

namespace {

using driver::UniqueHandle;
using testing::Utf8OfWide;

// Paths are UTF-8 here and wide at every file call, so a folder named in any language works.
std::wstring W(const std::string& path) {
  return testing::WideOfUtf8(path);
}

struct FindCloser {
  void operator()(HANDLE h) const noexcept {
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
  }
};
using UniqueFind = std::unique_ptr<void, FindCloser>;

std::string WithBackslash(std::string path) {
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path;
}

std::string ExecutableDir() {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::string full = Utf8OfWide(std::wstring_view(path, length));
  return full.substr(0, full.rfind('\\') + 1);
}

// Folder names made from test names: parameterised tests carry '/' and may carry other odd characters.
std::string SafeName(std::string_view name) {
  std::string safe;
  for (const char c : name) safe += std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' ? c : '_';
  return safe;
}

std::string CurrentTestName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  if (info == nullptr) return "outside-test";
  return SafeName(std::string(info->test_suite_name()) + "." + info->name());
}

// Removes a folder and everything in it, read-only entries included. A program still letting go of
// a file (Wine closes an exited process's files a moment later) gets a bounded number of retries.
bool RemoveTree(const std::string& dir) {
  WIN32_FIND_DATAW entry;
  const UniqueFind find(FindFirstFileW(W(dir + "*").c_str(), &entry));
  if (find.get() != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = Utf8OfWide(entry.cFileName);
      if (name == "." || name == "..") continue;
      const std::string path = dir + name;
      SetFileAttributesW(W(path).c_str(), FILE_ATTRIBUTE_NORMAL);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(path + "\\");
      else
        DeleteFileW(W(path).c_str());
    } while (FindNextFileW(find.get(), &entry));
  }
  return RemoveDirectoryW(W(dir).c_str()) != FALSE || GetLastError() == ERROR_FILE_NOT_FOUND ||
         GetLastError() == ERROR_PATH_NOT_FOUND;
}

void CopyOrThrow(const std::string& from, const std::string& to) {
  if (!CopyFileW(W(from).c_str(), W(to).c_str(), FALSE))
    throw std::runtime_error("cannot copy " + from + " to " + to + " (error " + std::to_string(GetLastError()) + ")");
}

}  // namespace

std::string WindowsPathOfUnixPath(std::string_view unixPath) {
  std::string path = "Z:";
  for (const char c : unixPath) path += c == '/' ? '\\' : c;
  return path;
}

std::string ToolsDir() {
  const char* tools = std::getenv("KESTEL_TOOLS");
  if (tools == nullptr || *tools == '\0') return ExecutableDir();
  const std::string_view value = tools;
  if (value.front() == '/') return WithBackslash(WindowsPathOfUnixPath(value));
  return WithBackslash(std::string(value));
}

RunOutcome RunToEnd(Process& process, Milliseconds timeout) {
  RunOutcome outcome;
  driver::WaitUntil(
      [&] {
        if ((outcome.exitCode = process.WaitExit(Milliseconds{0}))) return true;
        if (const auto box = driver::FindBox(process.Pid())) outcome.box = driver::ReadBox(*box);
        return outcome.box.has_value();
      },
      timeout);
  return outcome;
}

AnswerTimes LooksWhile(HWND window, const std::function<bool()>& waiting) {
  AnswerTimes times;
  while (waiting()) {
    const auto answered = driver::AnswerTime(window);
    if (!waiting()) break;
    times.push_back(answered);
    driver::WaitUntil([&] { return !waiting(); }, Milliseconds{500});
  }
  return times;
}

std::string Describe(const AnswerTimes& times) {
  std::string text;
  for (const auto& time : times) {
    if (!text.empty()) text += ", ";
    char ms[32] = "none";
    if (time) std::snprintf(ms, sizeof ms, "%.1f ms", static_cast<double>(time->count()) / 1000.0);
    text += ms;
  }
  return text;
}

// ---- Sandbox ------------------------------------------------------------------------------------

Sandbox::Sandbox() {
  static std::atomic<unsigned> counter{0};
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH, temp);
  const std::string root = WithBackslash(Utf8OfWide(std::wstring_view(temp, length))) + "kestel-e2e\\";
  CreateDirectoryW(W(root).c_str(), nullptr);
  dir_ =
      root + CurrentTestName() + "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++) + "\\";
  RemoveTree(dir_);
  if (!CreateDirectoryW(W(dir_).c_str(), nullptr))
    throw std::runtime_error("cannot create " + dir_ + " (error " + std::to_string(GetLastError()) + ")");
  const std::string tools = ToolsDir();
  CopyOrThrow(tools + "kestel.exe", PathOf("kestel.exe"));
  CopyOrThrow(tools + "standin\\mpr.dll", PathOf("mpr.dll"));
}

Sandbox::~Sandbox() {
  driver::WaitUntil([&] { return RemoveTree(dir_); }, Milliseconds{5000}, Milliseconds{50});
}

void Sandbox::WriteFile(std::string_view name, std::string_view bytes) const {
  const std::string path = PathOf(name);
  const UniqueHandle file(CreateFileW(W(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (file.get() == INVALID_HANDLE_VALUE ||
      !::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size())
    throw std::runtime_error("cannot write " + path + " (error " + std::to_string(GetLastError()) + ")");
}

std::optional<std::string> Sandbox::ReadFile(std::string_view name) const {
  const std::string path = PathOf(name);
  const UniqueHandle file(CreateFileW(W(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string content;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
  return content;
}

void Sandbox::MakeDirectory(std::string_view name) const {
  const std::string path = PathOf(name);
  if (!CreateDirectoryW(W(path).c_str(), nullptr))
    throw std::runtime_error("cannot create " + path + " (error " + std::to_string(GetLastError()) + ")");
}

void Sandbox::Remove(std::string_view name) const {
  const std::string path = PathOf(name);
  const DWORD attributes = GetFileAttributesW(W(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesW(W(path).c_str(), FILE_ATTRIBUTE_NORMAL);
  if (attributes & FILE_ATTRIBUTE_DIRECTORY)
    RemoveTree(path + "\\");
  else
    DeleteFileW(W(path).c_str());
}

void Sandbox::Copy(std::string_view from, std::string_view to) const {
  CopyOrThrow(PathOf(from), PathOf(to));
}

std::vector<std::string> Sandbox::List() const {
  std::vector<std::string> names;
  WIN32_FIND_DATAW entry;
  const UniqueFind find(FindFirstFileW(W(dir_ + "*").c_str(), &entry));
  if (find.get() == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = Utf8OfWide(entry.cFileName);
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileW(find.get(), &entry));
  std::sort(names.begin(), names.end());
  return names;
}

Process Sandbox::Start(const StartOptions& options) const {
  StartOptions inSandbox = options;
  if (inSandbox.workingDir.empty()) inSandbox.workingDir = dir_;
  return StartProgram(PathOf("kestel.exe"), inSandbox);
}

std::string Sandbox::RecordArgsCommand(std::string_view log, std::string_view extra) const {
  const auto quoted = [](const std::string& path) {
    if (path.find(' ') == std::string::npos) return path;
    std::string quotedPath = "\"";
    quotedPath.append(path).push_back('"');
    return quotedPath;
  };
  std::string command = quoted(ToolsDir() + "recordargs.exe");
  command.append(" ").append(quoted(PathOf(log)));
  if (!extra.empty()) command.append(" ").append(extra);
  return command;
}

std::optional<std::vector<testing::RecordedStart>> Sandbox::ReadRecords(std::string_view log) const {
  return testing::ReadRecordLog(PathOf(log));
}

std::vector<std::string> Sandbox::ReadLines(std::string_view name) const {
  std::vector<std::string> lines;
  const auto content = ReadFile(name);
  if (!content) return lines;
  std::string_view rest = *content;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return lines;
}

PolicyValues::PolicyValues(const std::vector<std::string>& values) {
  Remove();
  for (const std::string& value : values) {
    const std::size_t slash = value.find('\\'), equals = value.find('=', slash);
    const std::wstring path = L"Software\\Policies\\Kestel\\" + W(value.substr(2, slash - 2)),
                       name = W(value.substr(slash + 1, equals - slash - 1)), text = W(value.substr(equals + 1));
    HKEY created = nullptr;
    EXPECT_EQ(RegCreateKeyExW(value[0] == 'M' ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &created, nullptr),
              ERROR_SUCCESS)
        << value;
    const testing::TestKey key(created);
    EXPECT_EQ(RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS)
        << value;
  }
}

void PolicyValues::Remove() {
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    const LSTATUS removed = RegDeleteTreeW(root, L"Software\\Policies\\Kestel");
    EXPECT_TRUE(removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND) << "removing the policy: " << removed;
  }
}

}  // namespace kestel::e2e
