// What kestel.exe declares about display scales, which Wine itself ignores (it treats every program as
// per-monitor aware): the manifest Windows reads and the icon frames the shell picks from.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "tests/wine/TempFolder.h"

namespace kestel {
namespace {

struct LoadedExe {
  LoadedExe()
      : module(LoadLibraryExA((testing::ToolsFolder() + "\\kestel.exe").c_str(), nullptr,
                              LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
  ~LoadedExe() {
    if (module != nullptr) FreeLibrary(module);
  }
  std::string Resource(LPCSTR name, LPCSTR type) const {
    HRSRC found = FindResourceA(module, name, type);
    if (found == nullptr) return {};
    const auto* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    return data == nullptr ? std::string() : std::string(data, SizeofResource(module, found));
  }
  HMODULE module;
};

TEST(DisplayScaleDeclared, ManifestAsksForPerMonitorV2WithSystemAwareFallback) {
  const LoadedExe exe;
  ASSERT_NE(exe.module, nullptr);
  const std::string manifest = exe.Resource(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
  ASSERT_FALSE(manifest.empty());
  EXPECT_NE(manifest.find("/2016/WindowsSettings\">PerMonitorV2, System</dpiAwareness>"), std::string::npos)
      << manifest;
  EXPECT_NE(manifest.find("/2005/WindowsSettings\">true</dpiAware>"), std::string::npos) << manifest;
}

TEST(DisplayScaleDeclared, IconHasAFrameForEveryScaleTheShellAsksFor) {
  const LoadedExe exe;
  ASSERT_NE(exe.module, nullptr);
  const std::string group = exe.Resource(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
  ASSERT_GE(group.size(), 6u);
  const std::size_t count =
      static_cast<unsigned char>(group[4]) | static_cast<std::size_t>(static_cast<unsigned char>(group[5])) << 8;
  ASSERT_EQ(group.size(), 6u + 14u * count);
  std::set<int> sizes;
  for (std::size_t i = 0; i < count; ++i) sizes.insert(static_cast<unsigned char>(group[6 + 14 * i]));
  EXPECT_EQ(sizes, (std::set<int>{16, 20, 24, 32, 40, 48, 64}));
}

}  // namespace
}  // namespace kestel
