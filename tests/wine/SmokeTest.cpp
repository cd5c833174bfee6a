#include <gtest/gtest.h>
#include <windows.h>

TEST(WinePrefix, RunsWindowsCode) { EXPECT_NE(GetCurrentProcessId(), 0u); }
