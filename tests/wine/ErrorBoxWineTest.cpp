// The "Application Error" box for real: this test program starts itself again with a switch that
// makes the copy report an uncaught error, then finds the copy's box, reads it and answers it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>

#include "Driver.h"
#include "Process.h"
#include "app/ErrorBox.h"
#include "base/Errors.h"

namespace kestel {
namespace {

constexpr std::string_view kChildSwitch = "--report-uncaught-error=";
constexpr driver::Milliseconds kBoxTimeout{20000};

// Lies inside this program's image, so that the reported module and offset are known to both copies.
const char kInsideThisModule = 0;

struct ErrorCase {
  const char* name;
  const char* kind;
  const char* message;
  bool inThisModule;
  const char* messageLine;  // the message as the box shows it
};

constexpr ErrorCase kCases[] = {
    {"SettingsWrite", kSettingsWriteError, "Unable to write to C:\\k\\kestel.ini", true,
     "Unable to write to C:\\k\\kestel.ini."},
    {"MessageWithItsOwnFullStop", kRegistryError, "Failed to set data for 'ProxyEnable'.", true,
     "Failed to set data for 'ProxyEnable'."},
    {"EmptyMessageUnknownPlace", "RuntimeError", "", false, ""},
};

// In the started copy: report the chosen error before the tests' own main runs, and end with the
// code the report returns.
const bool kRanAsChild = [] {
  const std::string_view commandLine = GetCommandLineA();
  const std::size_t at = commandLine.find(kChildSwitch);
  if (at == std::string_view::npos) return false;
  const unsigned long index = std::strtoul(commandLine.data() + at + kChildSwitch.size(), nullptr, 10);
  if (index >= std::size(kCases)) ExitProcess(3);
  const ErrorCase& tested = kCases[index];
  ExitProcess(static_cast<UINT>(
      ReportUncaughtError(tested.kind, tested.message, tested.inThisModule ? &kInsideThisModule : nullptr)));
}();

std::string ThisProgram() {
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, length);
}

std::string ExpectedText(const ErrorCase& tested) {
  const std::string program = ThisProgram();
  const std::string module = program.substr(program.rfind('\\') + 1);
  const std::uintptr_t offset = tested.inThisModule ? reinterpret_cast<std::uintptr_t>(&kInsideThisModule) -
                                                          reinterpret_cast<std::uintptr_t>(GetModuleHandleA(nullptr))
                                                    : 0;
  char address[32];
  std::snprintf(address, sizeof address, "%08llX", static_cast<unsigned long long>(offset));
  return std::string("Exception ") + tested.kind + " in module " + module + " at " + address + ".\r\n" +
         tested.messageLine + "\r\n";
}

class ApplicationErrorBox : public ::testing::TestWithParam<std::size_t> {};

TEST_P(ApplicationErrorBox, ShowsTheErrorWithAStopIconAndEndsWithOne) {
  ASSERT_FALSE(kRanAsChild);
  const ErrorCase& tested = kCases[GetParam()];
  driver::StartOptions options;
  options.arguments = std::string(kChildSwitch) + std::to_string(GetParam());
  driver::Process child = driver::StartProgram(ThisProgram(), options);

  // The first box must be the program's own: a debugger's or the platform's crash dialog would come first.
  const auto box = driver::WaitForBoxContent(child.Pid(), kBoxTimeout);
  ASSERT_TRUE(box) << "no box appeared; exit code " << child.WaitExit(driver::Milliseconds{0}).value_or(259);
  ASSERT_EQ(box->caption, "Application Error") << box->text;
  EXPECT_EQ(box->text, ExpectedText(tested));
  EXPECT_EQ(box->buttons, std::vector<std::string>{"OK"});
  EXPECT_TRUE(box->hasIcon);
  EXPECT_EQ(GetWindow(box->window, GW_OWNER), nullptr) << "the box has no owner window";
  EXPECT_FALSE(child.WaitExit(driver::Milliseconds{200})) << "the process must wait for the box";

  ASSERT_TRUE(driver::PressButton(box->window, "OK"));
  EXPECT_EQ(child.WaitExit(), std::optional<DWORD>(1));
}

INSTANTIATE_TEST_SUITE_P(UncaughtError, ApplicationErrorBox, ::testing::Range<std::size_t>(0, std::size(kCases)),
                         [](const ::testing::TestParamInfo<std::size_t>& tested) {
                           return std::string(kCases[tested.param].name);
                         });

}  // namespace
}  // namespace kestel
