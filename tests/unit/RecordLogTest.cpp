#include <gtest/gtest.h>

#include <string>

#include "tests/tools/RecordLog.h"

namespace kestel::testing {
namespace {

TEST(RecordLog, ReadsEachCompleteLineInOrder) {
  const std::string log =
      "32\t1\t5\t\"C:\\t\\recordargs.exe\" C:\\t\\log.txt --sleep 300\r\n"
      "196\t1\t0\trecordargs.exe log\twith a tab\r\n"
      "7\t0\t1\t\r\n"
      "8\t1\t5\tstill being writ";
  const auto starts = ParseRecordLog(log);
  ASSERT_TRUE(starts.has_value());
  ASSERT_EQ(starts->size(), 3u);
  EXPECT_EQ((*starts)[0].pid, 32u);
  EXPECT_TRUE((*starts)[0].usesShowWindow);
  EXPECT_EQ((*starts)[0].showWindow, 5u);
  EXPECT_EQ((*starts)[0].commandLine, "\"C:\\t\\recordargs.exe\" C:\\t\\log.txt --sleep 300");
  EXPECT_EQ((*starts)[1].showWindow, 0u);
  EXPECT_EQ((*starts)[1].commandLine, "recordargs.exe log\twith a tab");
  EXPECT_FALSE((*starts)[2].usesShowWindow);
  EXPECT_EQ((*starts)[2].commandLine, "");
}

TEST(RecordLog, RefusesLinesThatAreNotRecords) {
  const char* const bad[] = {
      "",
      "32\t1\t5",
      "x\t1\t5\tcmd",
      "32\t2\t5\tcmd",
      "32\t1\t\tcmd",
      "\t1\t5\tcmd",
      "32\t1\t-5\tcmd",
      "99999999999\t1\t5\tcmd",
  };
  for (const char* line : bad) {
    EXPECT_FALSE(ParseRecordLine(line).has_value()) << line;
    EXPECT_FALSE(ParseRecordLog(std::string(line) + "\r\n").has_value()) << line;
  }
  EXPECT_TRUE(ParseRecordLine("1\t0\t0\tcmd\r").has_value());
}

TEST(RecordLog, MissingFileIsAnEmptyLog) {
  const auto starts = ReadRecordLog("/nonexistent/folder/recordargs.log");
  ASSERT_TRUE(starts.has_value());
  EXPECT_TRUE(starts->empty());
}

}  // namespace
}  // namespace kestel::testing
