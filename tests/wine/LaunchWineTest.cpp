// The launcher and the application directory against the platform's real process creation, with
// recordargs.exe as the started program.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "launch/AppDirectoryWin32.h"
#include "launch/Launch.h"
#include "tests/tools/RecordLog.h"
#include "tests/wine/TempFolder.h"

namespace kestel {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// How many handles this process holds, from the system's handle table (Wine's
// GetProcessHandleCount always answers 0, so it cannot tell a leak).
std::optional<std::size_t> OwnHandleCount() {
  struct Entry {
    ULONG pid;
    UCHAR type;
    UCHAR flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
  };
  struct Table {
    ULONG count;
    Entry entries[1];
  };
  using QueryFn = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
  constexpr ULONG kSystemHandleInformation = 16;
  const auto query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (query == nullptr) return std::nullopt;
  std::vector<char> buffer(1u << 22);
  ULONG got = 0;
  if (query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &got) != 0) return std::nullopt;
  ULONG count = 0;
  std::memcpy(&count, buffer.data(), sizeof count);
  const std::size_t first = offsetof(Table, entries);
  std::size_t own = 0;
  for (ULONG i = 0; i < count && first + (i + 1) * sizeof(Entry) <= buffer.size(); ++i) {
    Entry entry;
    std::memcpy(&entry, buffer.data() + first + i * sizeof(Entry), sizeof entry);
    if (entry.pid == GetCurrentProcessId()) ++own;
  }
  return own;
}

class Launcher : public ::testing::Test {
 protected:
  void SetUp() override {
    recordargs_ = testing::ToolsFolder() + "\\recordargs.exe";
    ASSERT_NE(GetFileAttributesA(recordargs_.c_str()), INVALID_FILE_ATTRIBUTES) << recordargs_;
    log_ = folder_.File("starts.log");
  }
  // A command line that starts recordargs.exe, recording into this test's log.
  std::string Recording(const std::string& rest) const {
    std::string commandLine = "\"" + recordargs_ + "\" \"" + log_ + "\"";
    if (!rest.empty()) commandLine.append(" ").append(rest);
    return commandLine;
  }
  std::vector<testing::RecordedStart> Records() const { return testing::ReadRecordLog(log_).value(); }

  testing::TempFolder folder_;
  std::string recordargs_;
  std::string log_;
};

TEST_F(Launcher, RunsProgramsOneAfterAnotherEachAwaited) {
  const std::string first = Recording("--sleep 300 first");
  const std::string second = Recording("second");
  ASSERT_TRUE(RunProgram(first, true, false));
  // Awaited: the first program had recorded and ended before RunProgram returned.
  ASSERT_EQ(Records().size(), 1u);
  ASSERT_TRUE(RunProgram(second, true, false));
  const auto starts = Records();
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[0].commandLine, first);
  EXPECT_EQ(starts[1].commandLine, second);
  EXPECT_NE(starts[0].pid, starts[1].pid);
}

TEST_F(Launcher, StartsTheProgramShownOrHidden) {
  struct Case {
    bool show;
    std::uint32_t showWindow;
  };
  for (const Case c : {Case{true, SW_SHOW}, Case{false, SW_HIDE}}) {
    testing::TempFolder folder;
    const std::string log = folder.File("show.log");
    ASSERT_TRUE(RunProgram("\"" + recordargs_ + "\" \"" + log + "\"", true, c.show));
    const auto starts = testing::ReadRecordLog(log).value();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_TRUE(starts[0].usesShowWindow) << c.show;
    EXPECT_EQ(starts[0].showWindow, c.showWindow) << c.show;
  }
}

TEST_F(Launcher, PassesTheCommandLineUnchanged) {
  const std::string commandLine = Recording("  two  blanks \"quoted arg\" %USERNAME% tail\\ ");
  ASSERT_TRUE(RunProgram(commandLine, true, false));
  const auto starts = Records();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].commandLine, commandLine);
}

TEST_F(Launcher, FailedCreationGivesFalseAtOnce) {
  const std::string quotedMissing = std::string(1, '"').append(folder_.File("no such folder\\x.exe")).append("\" arg");
  for (const std::string& commandLine : {std::string(), folder_.File("missing.exe"), quotedMissing}) {
    const auto started = steady_clock::now();
    EXPECT_FALSE(RunProgram(commandLine, true, true)) << commandLine;
    EXPECT_LT(steady_clock::now() - started, milliseconds(2000)) << commandLine;
  }
}

TEST_F(Launcher, WithoutWaitReturnsWhileTheProgramStillRuns) {
  const auto started = steady_clock::now();
  ASSERT_TRUE(RunProgram(Recording("--sleep 3000"), false, false));
  const auto returned = steady_clock::now() - started;
  // The program records only when its sleep is over: nothing is there yet.
  EXPECT_TRUE(Records().empty());
  EXPECT_LT(returned, milliseconds(3000));
  // Let it finish before the folder goes.
  EXPECT_EQ(testing::WaitForRecords(log_, 1).size(), 1u);
}

TEST_F(Launcher, ClosesEveryHandleItReceives) {
  ASSERT_TRUE(RunProgram(Recording(""), true, false));  // the first start may load what stays loaded
  const auto before = OwnHandleCount();
  ASSERT_TRUE(before.has_value());
  ASSERT_TRUE(RunProgram(Recording(""), true, false));
  ASSERT_TRUE(RunProgram(Recording(""), false, false));
  EXPECT_EQ(OwnHandleCount(), before);
  EXPECT_EQ(testing::WaitForRecords(log_, 3).size(), 3u);
}

TEST(AppDirectoryOfTheRunningExecutable, IsItsFolderWithTheTrailingBackslash) {
  InitAppDirectory();
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  ASSERT_GT(length, 0u);
  const std::string full(path, length);
  EXPECT_EQ(AppDirectory, full.substr(0, full.rfind('\\') + 1));
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, AppDirectory.c_str(), -1,
                           (testing::ToolsFolder() + "\\").c_str(), -1),
            CSTR_EQUAL)
      << AppDirectory;
}

}  // namespace
}  // namespace kestel
