// The ANSI code page's conversions against the calls as Windows documents them: Wine takes flags that
// Windows refuses, so a stand-in refuses them as Windows does and converts with the real calls.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/CodePageWin32.h"

namespace kestel {
namespace {

// MultiByteToWideChar and WideCharToMultiByte on one code page, failing with ERROR_INVALID_FLAGS
// where their documentation says: UTF-8 and GB18030 take no flag but MB_ERR_INVALID_CHARS or
// WC_ERR_INVALID_CHARS.
class DocumentedCalls final : public AnsiCodePageCalls {
 public:
  explicit DocumentedCalls(UINT number) : number_(number) {}
  mutable std::vector<DWORD> flags;

  UINT Number() const override { return number_; }
  int ToWide(DWORD given, const char* bytes, int size, wchar_t* wide, int units) const override {
    flags.push_back(given);
    if (Unicode() && (given | MB_ERR_INVALID_CHARS) != MB_ERR_INVALID_CHARS) return Refused();
    return MultiByteToWideChar(number_, given, bytes, size, wide, units);
  }
  int FromWide(DWORD given, const wchar_t* wide, int units, char* bytes, int size) const override {
    flags.push_back(given);
    if (Unicode() && (given | WC_ERR_INVALID_CHARS) != WC_ERR_INVALID_CHARS) return Refused();
    return WideCharToMultiByte(number_, given, wide, units, bytes, size, nullptr, nullptr);
  }

 private:
  bool Unicode() const { return number_ == CP_UTF8 || number_ == 54936; }
  static int Refused() {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  UINT number_;
};

TEST(AnsiCodePage, ConvertsWithTheFlagsEachCodePageTakes) {
  const struct {
    UINT codePage;
    std::string text, bytes, readBack;
    DWORD toCodePageFlags;
  } cases[] = {
      // Without WC_NO_BEST_FIT_CHARS, Ω would be O in 1252 and read back as another letter.
      {1252, "B\xC3\xBCro \xCE\xA9", "B\xFCro ?", "B\xC3\xBCro ?", WC_NO_BEST_FIT_CHARS},
      {1251, "\xD0\x96 \xCE\xA9", "\xC6 ?", "\xD0\x96 ?", WC_NO_BEST_FIT_CHARS},
      {CP_UTF8, "B\xC3\xBCro \xCE\xA9", "B\xC3\xBCro \xCE\xA9", "B\xC3\xBCro \xCE\xA9", 0},
  };
  for (const auto& c : cases) {
    const DocumentedCalls calls(c.codePage);
    EXPECT_EQ(AnsiCodePageNumber(calls), c.codePage);
    EXPECT_EQ(Utf8ToAnsi(c.text, calls), c.bytes) << c.codePage;
    EXPECT_EQ(calls.flags, std::vector<DWORD>(2, c.toCodePageFlags)) << c.codePage;
    calls.flags.clear();
    EXPECT_EQ(AnsiToUtf8(c.bytes, calls), c.readBack) << c.codePage;
    EXPECT_EQ(calls.flags, std::vector<DWORD>(2, 0)) << c.codePage;
  }
}

}  // namespace
}  // namespace kestel
