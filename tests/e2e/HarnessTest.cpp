// The sandbox every end-to-end test stands on: its folder, its clean-up and the recording programs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Harness.h"

namespace kestel::e2e {
namespace {

TEST(Harness, UnixPathsBecomeDriveZPaths) {
  EXPECT_EQ(WindowsPathOfUnixPath("/work/main/build/windows"), "Z:\\work\\main\\build\\windows");
  EXPECT_EQ(WindowsPathOfUnixPath("/"), "Z:\\");
  const std::string tools = ToolsDir();
  ASSERT_FALSE(tools.empty());
  EXPECT_EQ(tools.back(), '\\');
  EXPECT_NE(GetFileAttributesA((tools + "kestel.exe").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Harness, SandboxHoldsTheProgramAndGoesWithEverythingInIt) {
  std::string dir;
  {
    Sandbox first;
    Sandbox second;
    dir = first.Dir();
    EXPECT_NE(first.Dir(), second.Dir());
    EXPECT_EQ(first.List(), (std::vector<std::string>{"kestel.exe", "mpr.dll"}));

    first.WriteIni("[a]\r\nb=\x80\xff\r\n");
    EXPECT_EQ(first.ReadIni(), std::optional<std::string>("[a]\r\nb=\x80\xff\r\n")) << "bytes are kept as written";
    first.MakeDirectory("sub");
    first.WriteFile("sub\\inner.txt", "x");
    first.WriteFile("locked.txt", "y");
    SetFileAttributesA(first.PathOf("locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(first.ReadLines("sub\\inner.txt"), std::vector<std::string>{"x"});
    EXPECT_FALSE(first.ReadFile("absent.txt"));
    first.Remove("sub");
    EXPECT_FALSE(first.ReadFile("sub\\inner.txt"));
    first.MakeDirectory("sub");
  }
  EXPECT_EQ(GetFileAttributesA(dir.c_str()), INVALID_FILE_ATTRIBUTES) << dir << " was left behind";
}

TEST(Harness, RecordingCommandRecordsWhereTheTestReadsIt) {
  Sandbox sandbox;
  const std::string command = sandbox.RecordArgsCommand("run.log", "--exit 4 marker");
  // The same command line the program would be given from a settings file.
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::string writable = command;
  ASSERT_TRUE(CreateProcessA(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
  Process recorder(driver::UniqueHandle(info.hProcess), info.dwProcessId);
  CloseHandle(info.hThread);
  EXPECT_EQ(recorder.WaitExit(), std::optional<DWORD>(4));

  const auto records = sandbox.ReadRecords("run.log");
  ASSERT_TRUE(records);
  ASSERT_EQ(records->size(), 1u);
  EXPECT_EQ((*records)[0].commandLine, command);
  EXPECT_EQ((*records)[0].pid, info.dwProcessId);
  EXPECT_TRUE(sandbox.ReadRecords("never.log").value().empty());
}

}  // namespace
}  // namespace kestel::e2e
