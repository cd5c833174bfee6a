#include <gtest/gtest.h>
#include <windows.h>

TEST(EndToEnd, Placeholder) { EXPECT_NE(GetCurrentProcessId(), 0u); }
