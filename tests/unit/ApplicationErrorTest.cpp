#include <gtest/gtest.h>

#include "base/Errors.h"

namespace kestel {
namespace {

TEST(ApplicationErrorText, LaysOutKindModuleAddressAndMessage) {
  EXPECT_EQ(FormatApplicationErrorText("RegistryError", "kestel.exe", 0x1A2B, "Failed to set data for 'ProxyEnable'"),
            "Exception RegistryError in module kestel.exe at 00001A2B.\r\nFailed to set data for 'ProxyEnable'.\r\n");
}

TEST(ApplicationErrorText, AddsNoSecondFullStopAndNoneToAnEmptyMessage) {
  EXPECT_EQ(FormatApplicationErrorText("K", "m.exe", 0, "Done."),
            "Exception K in module m.exe at 00000000.\r\nDone.\r\n");
  EXPECT_EQ(FormatApplicationErrorText("K", "m.exe", 0, ""), "Exception K in module m.exe at 00000000.\r\n\r\n");
}

TEST(RaisedError, CarriesKindMessageAndTheRaisingAddress) {
  try {
    Raise(kSettingsWriteError, "Unable to write to C:\\k\\kestel.ini");
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Kind(), kSettingsWriteError);
    EXPECT_STREQ(e.what(), "Unable to write to C:\\k\\kestel.ini");
    EXPECT_NE(e.Address(), nullptr);
  }
}

}  // namespace
}  // namespace kestel
