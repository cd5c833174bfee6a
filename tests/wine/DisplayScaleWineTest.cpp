// What kestel.exe declares about display scales, which Wine itself ignores (it treats every program as
// per-monitor aware): the manifest Windows reads and the icon frames the shell picks from; and the
// notification icon through a change of scale, which Wine never makes.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/wine/TempFolder.h"
#include "ui/NotificationIcon.h"

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
// dependency the system cannot resolve ends the start on Windows, and without version 6 the
// controls keep the classic style.
TEST(DisplayScaleDeclared, ManifestBringsCommonControls6) {
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

// The notification area as the shell keeps it: one icon of ours or none, the size it draws icons at
// (which a step changes as a change of scale would; it has no frame for 32), and every call the icon
// made, with the size of the icon it handed over. The icons loaded here are the notification icon's.
class FakeArea final : public NotificationArea {
 public:
  explicit FakeArea(std::string& calls) : calls_(calls) {}
  int size = 16;
  bool there = false;

  int IconSize() override { return size; }
  HICON LoadProgramIcon(int asked) override {
    calls_ += " load " + std::to_string(asked);
    const std::vector<BYTE> mask(static_cast<std::size_t>(asked * asked / 8), 0xFF), colour(mask.size(), 0);
    return asked == 32 ? nullptr : CreateIcon(nullptr, asked, asked, 1, 1, mask.data(), colour.data());
  }
  bool Notify(DWORD message, NOTIFYICONDATAW& data) override {
    const bool done = message == NIM_ADD ? !there : message == NIM_MODIFY ? there : message == NIM_DELETE && there;
    if (done) there = message != NIM_DELETE;
    ICONINFO info{};
    BITMAP mask{};
    if (GetIconInfo(data.hIcon, &info)) GetObjectA(info.hbmMask, sizeof mask, &mask);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
    const char* name = message == NIM_ADD ? " add " : message == NIM_MODIFY ? " modify " : " delete ";
    calls_ += name + std::to_string(mask.bmWidth) + (done ? "" : " refused");
    return done;
  }

 private:
  std::string& calls_;
};

TEST(NotificationIconScale, KeepsTheIconAtTheSizeTheAreaDrawsAt) {
  const struct {
    const char* name;
    const char* steps;  // s: shown; 4 or 3: the area now draws at 24 or 32; r: the shell restarted;
                        // t: TaskbarCreated with the icon still there
    const char* calls;  // the end's included
  } rows[] = {
      {"a new scale replaces the icon once", "s44", " load 16 add 16 load 24 modify 24 delete 24"},
      {"a new scale before the icon shows", "4s", " load 16 load 24 add 24 delete 24"},
      {"no frame for the new size", "s3s", " load 16 add 16 load 32 modify 16 delete 16"},
      {"the shell restarted at a new scale", "s4r", " load 16 add 16 load 24 modify 24 add 24 delete 24"},
      {"TaskbarCreated, the icon there", "sts", " load 16 add 16 add 16 refused modify 16 modify 16 delete 16"},
  };
  for (const auto& row : rows) {
    std::string calls;
    {
      auto owned = std::make_unique<FakeArea>(calls);
      FakeArea& area = *owned;
      NotificationIcon icon(std::move(owned), GetDesktopWindow(), WM_APP);
      for (const char* step = row.steps; *step != '\0'; ++step) {
        if (*step == 's') icon.Show("Kestel");
        if (*step == 'r' || *step == 't') area.there = *step == 't';
        if (*step == 'r' || *step == 't') icon.Restore();
        if (*step == '4' || *step == '3') area.size = *step == '4' ? 24 : 32;
        if (*step == '4' || *step == '3') icon.FollowScale();
      }
    }
    EXPECT_EQ(calls, row.calls) << row.name;
  }
}

}  // namespace
}  // namespace kestel
