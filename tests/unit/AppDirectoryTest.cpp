#include <gtest/gtest.h>

#include "launch/AppDirectory.h"

namespace kestel {
namespace {

TEST(DirectoryOfPath, KeepsEverythingUpToAndIncludingTheLastBackslash) {
  struct Case {
    const char* path;
    const char* directory;
  };
  const Case cases[] = {
      {"C:\\Program Files\\Kestel\\kestel.exe", "C:\\Program Files\\Kestel\\"},
      {"C:\\kestel.exe", "C:\\"},
      {"\\\\server\\share\\kestel.exe", "\\\\server\\share\\"},
      {"kestel.exe", ""},
      {"", ""},
      {"\\", "\\"},
      {"C:\\dir\\", "C:\\dir\\"},
      // Only the backslash separates; forward slashes are ordinary characters.
      {"C:/tools/kestel.exe", ""},
      {"C:\\tools/sub/kestel.exe", "C:\\"},
      {"C:/a\\b/kestel.exe", "C:/a\\"},
      // Bytes of a double-byte code page are scanned one by one, as the platform's path is.
      {"C:\\\x83\\kestel.exe", "C:\\\x83\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(DirectoryOfPath(c.path), c.directory) << c.path;
}

}  // namespace
}  // namespace kestel
