// The run's record against the platform: the message table that kestel.exe carries for the event
// log, and the log file's roll and folders.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "record/RunRecordWin32.h"
#include "tests/wine/TempFolder.h"

namespace kestel {
namespace {

TEST(RunRecordMessages, KestelExeHoldsATextForEveryEventId) {
  const std::string exe = testing::ToolsFolder() + "\\kestel.exe";
  HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr) << exe;
  for (const EventKind kind : kEventKinds) {
    char text[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, module,
                                        static_cast<DWORD>(kind), 0, text, sizeof text, nullptr);
    EXPECT_GT(length, 0u) << EventName(kind);
    // The line itself is the insert, so that the event says everything even where the table is unknown.
    EXPECT_NE(std::string(text, length).find("%1"), std::string::npos) << EventName(kind) << ": " << text;
  }
  FreeLibrary(module);
}

// Over 1 MB at the start, or not UTF-8 throughout, the log becomes "<name>.old", replacing an older
// one; missing folders on the way are made.
TEST(RunRecordFile, RollsOverAMegabyteAndMakesMissingFolders) {
  testing::TempFolder folder;
  const std::string big(kRecordRollBytes + 1, 'x');
  ASSERT_TRUE(folder.Write("run.log", big));
  ASSERT_TRUE(folder.Write("run.log.old", "older"));
  ASSERT_TRUE(folder.Write("small.log", "kept\r\n"));
  const std::string earlier = "2024-01-02 03:04:05.006 7 INFO credentials: from the settings file, user J\xFCrgen\r\n";
  ASSERT_TRUE(folder.Write("earlier.log", earlier));
  for (const char* name : {"run.log", "small.log", "new\\deeper\\run.log", "earlier.log"}) {
    Win32RunRecord record;
    record.Report({EventKind::Start, Severity::Information, ""});
    record.Open({folder.File(name), false});
    record.Report({EventKind::End, Severity::Information, "done"});
  }
  EXPECT_EQ(folder.Read("run.log.old"), big);
  EXPECT_EQ(folder.Read("earlier.log.old"), earlier) << "a log in the code page is kept apart, as it was";
  for (const char* name : {"run.log", "small.log", "new\\deeper\\run.log", "earlier.log"}) {
    const std::string content = folder.Read(name);
    EXPECT_LT(content.size(), 1000u) << name;
    EXPECT_NE(content.find(" INFO start: \""), std::string::npos) << name;
    EXPECT_NE(content.find(" INFO end: done\r\n"), std::string::npos) << name;
  }
  EXPECT_EQ(folder.Read("small.log").rfind("kept\r\n", 0), 0u) << "a small log is appended to";
}

}  // namespace
}  // namespace kestel
