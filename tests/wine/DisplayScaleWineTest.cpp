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

// The process's activation context is built from this manifest before the program runs: a
// dependency the system cannot resolve ends the start on Windows, and version 5 would keep the
// classic controls.
TEST(DisplayScaleDeclared, ManifestBringsCommonControls6) {
  const LoadedExe exe;
  ASSERT_NE(exe.module, nullptr);
  EXPECT_NE(exe.Resource(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))
                .find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
            std::string::npos);
  const std::string path = testing::ToolsFolder() + "\\kestel.exe";
  ACTCTXA manifest{};
  manifest.cbSize = sizeof manifest;
  manifest.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  manifest.lpSource = path.c_str();
  manifest.lpResourceName = MAKEINTRESOURCEA(1);
  HANDLE context = CreateActCtxA(&manifest);
  ASSERT_NE(context, INVALID_HANDLE_VALUE) << GetLastError();
  ULONG_PTR cookie = 0;
  ASSERT_TRUE(ActivateActCtx(context, &cookie));
  ACTCTX_SECTION_KEYED_DATA found{};
  found.cbSize = sizeof found;
  const bool redirected =
      FindActCtxSectionStringA(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, "comctl32.dll", &found);
  DeactivateActCtx(0, cookie);
  ReleaseActCtx(context);
  EXPECT_TRUE(redirected) << "comctl32.dll is not taken from the common controls assembly";
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
