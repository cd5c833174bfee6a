#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "env/EnvironWin32.h"

namespace kestel {
namespace {

struct HandleClose {
  void operator()(HANDLE h) const noexcept { CloseHandle(h); }
};
using UniqueHandle = std::unique_ptr<void, HandleClose>;

constexpr const char* kDumpTo = "KESTEL_SNAPSHOT_DUMP";

// Sets a variable of this process for the length of one test.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) { SetEnvironmentVariableA(name, value); }
  ~ScopedVariable() { SetEnvironmentVariableA(name_, nullptr); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
};

std::string ThisProgram() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, length);
}

std::string TempFileName() {
  char folder[MAX_PATH];
  char file[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  GetTempFileNameA(folder, "env", 0, file);
  return file;
}

// Starts this test program again to run only the dumping test below, with the given block (or this
// process's own when empty), and returns the snapshot lines the child wrote.
std::vector<std::string> SnapshotOfChild(const std::string& environmentBlock) {
  const std::string out = TempFileName();
  ScopedVariable dump(kDumpTo, out.c_str());
  std::string block = environmentBlock;
  if (!block.empty()) {
    block.append(kDumpTo).append("=").append(out);
    block.append(2, '\0');
  }
  std::string commandLine = "\"";
  commandLine.append(ThisProgram()).append("\" --gtest_filter=EnvironmentSnapshotChild.DumpsItsSnapshot");
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                      block.empty() ? nullptr : block.data(), nullptr, &startup, &process);
  EXPECT_TRUE(started) << GetLastError();
  if (!started) return {};
  const UniqueHandle processHandle(process.hProcess);
  const UniqueHandle threadHandle(process.hThread);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
  std::string written;
  if (std::FILE* file = std::fopen(out.c_str(), "rb")) {
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) written.append(chunk, n);
    std::fclose(file);
  }
  DeleteFileA(out.c_str());
  written.push_back('\0');
  return ParseEnvironmentBlock(written.c_str());
}

std::ptrdiff_t IndexOf(const std::vector<std::string>& lines, const std::string& line) {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i] == line) return static_cast<std::ptrdiff_t>(i);
  return -1;
}

// Not a test on its own: the child that the tests below start writes the snapshot it took.
TEST(EnvironmentSnapshotChild, DumpsItsSnapshot) {
  char out[MAX_PATH];
  if (GetEnvironmentVariableA(kDumpTo, out, MAX_PATH) == 0) GTEST_SKIP() << "runs only when started by a test";
  const EnvironmentSnapshot snapshot = TakeEnvironmentSnapshot();
  std::FILE* file = std::fopen(out, "wb");
  ASSERT_NE(file, nullptr);
  for (const std::string& line : snapshot.Lines()) std::fwrite(line.c_str(), 1, line.size() + 1, file);
  std::fclose(file);
}

TEST(EnvironmentSnapshot, ChildSeesAVariableSetBeforeItStarted) {
  const ScopedVariable variable("KESTEL_SET_BY_TEST", "C:\\from the parent=1");
  const std::vector<std::string> lines = SnapshotOfChild("");
  EXPECT_GE(IndexOf(lines, "KESTEL_SET_BY_TEST=C:\\from the parent=1"), 0);
  const EnvironmentSnapshot env(lines, LocaleNameEquals);
  EXPECT_EQ(env.ValueOf("kestel_set_by_test"), "C:\\from the parent=1");
}

TEST(EnvironmentSnapshot, ChildKeepsEveryEntryOfItsBlockAsItStands) {
  const char entries[] = "=X:=X:\\dir\0KESTEL_OPTS=a=b\0KESTEL_EMPTY=\0Kestel_Mixed= spaced \0SystemRoot=C:\\windows\0";
  const std::vector<std::string> lines = SnapshotOfChild(std::string(entries, sizeof entries - 1));
  const std::ptrdiff_t drive = IndexOf(lines, "=X:=X:\\dir");
  const std::ptrdiff_t opts = IndexOf(lines, "KESTEL_OPTS=a=b");
  EXPECT_GE(drive, 0);
  EXPECT_GE(opts, 0);
  EXPECT_GE(IndexOf(lines, "KESTEL_EMPTY="), 0);
  EXPECT_GE(IndexOf(lines, "Kestel_Mixed= spaced "), 0);

  const EnvironmentSnapshot env(lines, LocaleNameEquals);
  EXPECT_EQ(env.ValueOf("kestel_opts"), "a=b");
  EXPECT_EQ(env.ValueOf("KESTEL_MIXED"), " spaced ");
  EXPECT_EQ(env.ValueOf("=X:"), "");
}

TEST(EnvironmentLocaleComparison, IgnoresLetterCaseByTheUsersLocale) {
  const struct {
    const char* a;
    const char* b;
    bool equal;
  } cases[] = {
      {"Path", "PATH", true}, {"path", "PATH", true}, {"Path", "Paths", false},
      {"", "", true},         {"", "A", false},       {"A_1", "a_1", true},
      {"AB", "A B", false},   {"=X:", "=x:", true},   {"PATH", " PATH", false},
  };
  for (const auto& c : cases) EXPECT_EQ(LocaleNameEquals(c.a, c.b), c.equal) << c.a << " / " << c.b;
}

TEST(EnvironmentLocaleComparison, FoldsAccentedLettersOfTheCodePage) {
  if (GetACP() != 1252) GTEST_SKIP() << "needs the Western code page";
  EXPECT_TRUE(LocaleNameEquals("CAF\xC9", "caf\xE9"));
  EXPECT_FALSE(AsciiNameEquals("CAF\xC9", "caf\xE9"));
  EXPECT_FALSE(LocaleNameEquals("CAFE", "caf\xE9"));
}

TEST(EnvironmentLocaleComparison, AnswersTheLookupTable) {
  const EnvironmentSnapshot env({"Path=C:\\bin", "OPTS=a=b", "EMPTY=", "=X:=X:\\dir"}, LocaleNameEquals);
  const struct {
    const char* name;
    const char* value;
  } cases[] = {{"PATH", "C:\\bin"}, {"path", "C:\\bin"}, {"Path", "C:\\bin"}, {"OPTS", "a=b"}, {"EMPTY", ""},
               {"NOSUCH", ""},      {" PATH", ""},       {"", "X:=X:\\dir"},  {"=X:", ""}};
  for (const auto& c : cases) EXPECT_EQ(env.ValueOf(c.name), c.value) << '"' << c.name << '"';
  EXPECT_EQ(EnvironmentSnapshot({"A=1"}, LocaleNameEquals).ValueOf(""), "");
}

}  // namespace
}  // namespace kestel
