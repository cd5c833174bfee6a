// The settings checker on any bytes, over kestel.ini's own reader of the same bytes: it never writes,
// and every finding is one clean line about a line of the file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "check/Findings.h"
#include "check/LineScan.h"
#include "tests/unit/MemorySettings.h"

namespace {

using namespace kestel::check;

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view content(reinterpret_cast<const char*>(data), size);
  const kestel::testing::FakeCodePage codePage;
  const ScannedFile scanned = ScanSettings(kestel::DecodeSettings(content, codePage).text);
  kestel::testing::MemoryStore store;
  store.files["kestel.ini"] = std::string(content);
  store.refuseWrites = true;
  kestel::IniProfile profile(store, codePage);
  kestel::SettingsFile settings("kestel.ini", profile);
  const auto findings = CheckSettings(content, codePage, settings, [](const std::string& name) {
    return name.empty() ? std::string("C:=C:\\") : name == "PATH" ? std::string("C:\\bin") : std::string();
  });

  std::size_t worst = 0;
  for (const Finding& finding : findings) {
    Check(finding.line <= std::max<std::size_t>(scanned.lineCount, 1));
    Check(!finding.text.empty());
    for (const char c : finding.text) Check(static_cast<unsigned char>(c) >= 0x20);
    worst = std::max(worst, static_cast<std::size_t>(finding.severity));
  }
  Check(ExitCode(findings) == (findings.empty() ? 0 : static_cast<int>(worst)));
  const std::string report = FormatReport("kestel.ini", findings);
  Check(static_cast<std::size_t>(std::count(report.begin(), report.end(), '\n')) == findings.size() + 1);
  return 0;
}
