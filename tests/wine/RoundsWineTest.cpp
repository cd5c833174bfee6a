// The bench's timed starts: a program whose running time and exit code are known is timed, and the
// command lines the bench builds from separate arguments come apart again as they were given.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "Rounds.h"
#include "TempFolder.h"

namespace kestel::driver {
namespace {

TEST(JoinCommandLineTest, QuotesOnlyWhatTheParserWouldSplitAndEscapesWhatItWouldEat) {
  struct Case {
    std::vector<std::string> args;
    std::string line;
  };
  const Case cases[] = {
      {{"cmd", "/c", "exit"}, R"(cmd /c exit)"},
      {{R"(Z:\a b\kestel.exe)"}, R"("Z:\a b\kestel.exe")"},
      {{"prog", ""}, R"(prog "")"},
      {{"prog", "tab\there"}, "prog \"tab\there\""},
      // Backslashes stand as they are unless a quote follows them.
      {{R"(Z:\dir\)"}, R"(Z:\dir\)"},
      {{R"(Z:\my dir\)"}, R"("Z:\my dir\\")"},
      {{R"(say "hi")"}, R"("say \"hi\"")"},
      {{R"(a\"b)"}, R"("a\\\"b")"},
  };
  for (const auto& c : cases) EXPECT_EQ(JoinCommandLine(c.args), c.line) << c.line;
}

class TimeRoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    recordargs_ = testing::ToolsFolder() + "\\recordargs.exe";
    ASSERT_NE(GetFileAttributesA(recordargs_.c_str()), INVALID_FILE_ATTRIBUTES) << recordargs_;
  }
  std::string Command(const std::string& options) const {
    return JoinCommandLine({recordargs_, "NUL"}) + " " + options;
  }

  std::string recordargs_;
};

TEST_F(TimeRoundTest, TimesTheWholeRunInMillisecondsAndKeepsItsExitCodeAndPeak) {
  const Round round = TimeRound(Command("--sleep 300 --exit 7"), Milliseconds{60000});
  EXPECT_GE(round.milliseconds, 300.0);
  EXPECT_LT(round.milliseconds, 30000.0);  // seconds or ticks taken for milliseconds would land far off
  EXPECT_EQ(round.exitCode, 7u);
  ASSERT_TRUE(round.peakWorkingSet.has_value()) << "the peak must be read while the handle is still open";
  EXPECT_GT(*round.peakWorkingSet, 1024u * 1024u);  // any process under Wine holds more than a megabyte
}

TEST_F(TimeRoundTest, AProgramThatCannotStartOrDoesNotEndInTimeIsAnErrorNotAFigure) {
  EXPECT_THROW(TimeRound(R"("Z:\no\such\program.exe")", Milliseconds{60000}), std::runtime_error);

  const ULONGLONG before = GetTickCount64();
  EXPECT_THROW(TimeRound(Command("--sleep 600000"), Milliseconds{500}), std::runtime_error);
  EXPECT_LT(GetTickCount64() - before, 20000u) << "the round must end at its timeout, not at the program's end";
}

}  // namespace
}  // namespace kestel::driver
