// The end-to-end harness: each test gets a folder of its own holding a copy of kestel.exe (and the
// stand-in mpr.dll beside it), writes its kestel.ini there, starts the program and drives it with
// kestel::driver.
//
// Where the stand-in DLLs live. kestel.exe imports mpr, so the loader takes it from the program's
// folder first when the program starts: the stand-in network provider goes beside each copy, and
// WINEDLLOVERRIDES=mpr=n,b (cmake/wine-run.sh.in) lets it in; in the system folder it would also
// replace the provider the module tests (tests/wine) are run against. wininet kestel.exe loads itself, from
// the system folder only: scripts/test.sh puts the stand-in internet library into the test prefix's
// system folder once, before any test starts, and wininet=n,b picks it over Wine's own for every
// program of the suite (none of Wine's own services or of the test programs loads wininet).
//
// A test that needs Wine's own wininet (a real fetch through WinINet) cannot ask for it in
// StartOptions::env: Wine 8 reads a program's DLL load order from the Unix environment it inherits
// from the process that starts it, and ignores a WINEDLLOVERRIDES in the environment block passed to
// CreateProcess (tried: the program still got the stand-in). Register such a test in
// cmake/WineTests.cmake with KESTEL_WININET=b as its ENVIRONMENT, as the InternetSettingsProxy tests
// are: cmake/wine-run.sh.in then adds wininet=b to the suite's WINEDLLOVERRIDES (the last entry of a
// name counts; the whole value cannot be given there, its semicolons would split the property), and
// the test program and every program it starts get Wine's own.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../tools/RecordLog.h"
#include "Driver.h"
#include "Process.h"

namespace kestel::e2e {

using driver::Milliseconds;
inline constexpr Milliseconds kStartTimeout{20000};  // Wine may take a while to start a process
using driver::kExitTimeout;

// "/a/b" -> "Z:\a\b" (Wine maps the unix root to drive Z:).
std::string WindowsPathOfUnixPath(std::string_view unixPath);
// The windows build folder ($KESTEL_TOOLS) as a Windows path ending in a backslash: kestel.exe and
// recordargs.exe are at its top, the stand-in DLLs in standin\.
std::string ToolsDir();

// Processes are the driver's; the names stay at hand here.
using driver::BuildEnvironmentBlock;
using driver::EnvOverrides;
using driver::Process;
using driver::StartOptions;
using driver::StartProgram;

// Runs the process to its end while watching for any box it shows; a box that turns up is read and
// reported instead of leaving the run blocked until the timeout.
struct RunOutcome {
  std::optional<DWORD> exitCode;
  std::optional<driver::BoxContent> box;
};
RunOutcome RunToEnd(Process& process, Milliseconds timeout = kExitTimeout);

// Looks at window with a WM_NULL sent as the system tests for a hung window (driver::AnswerTime),
// twice a second while waiting() holds. The answer time of each look made wholly within the wait, in
// order; nullopt for one left unanswered for a second.
using AnswerTimes = std::vector<std::optional<std::chrono::microseconds>>;
AnswerTimes LooksWhile(HWND window, const std::function<bool()>& waiting);
// "0.4 ms, 1.2 ms, none", for the test's output.
std::string Describe(const AnswerTimes& times);

// A fresh folder of the running test's own under the Wine temp folder, removed with everything in it
// when the Sandbox goes. It holds kestel.exe and mpr.dll copied from the build.
class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  // The folder as a Windows path ending in a backslash.
  const std::string& Dir() const noexcept { return dir_; }
  std::string PathOf(std::string_view name) const { return dir_ + std::string(name); }

  // Raw bytes in and out; the name is relative to Dir() (sub-folders must exist). Names are UTF-8.
  void WriteFile(std::string_view name, std::string_view bytes) const;
  std::optional<std::string> ReadFile(std::string_view name) const;
  void WriteIni(std::string_view bytes) const { WriteFile("kestel.ini", bytes); }
  std::optional<std::string> ReadIni() const { return ReadFile("kestel.ini"); }
  void MakeDirectory(std::string_view name) const;
  // Copies a file of the folder to another name in it (names relative to Dir(), UTF-8).
  void Copy(std::string_view from, std::string_view to) const;
  void Remove(std::string_view name) const;
  // Names of the entries at the top of the folder, sorted, without "." and "..".
  std::vector<std::string> List() const;

  // Starts Dir()\kestel.exe; by default its working folder is the sandbox.
  Process Start(const StartOptions& options = {}) const;

  // A command line that starts recordargs.exe so that it records into log (a name relative to Dir()),
  // followed by extra (e.g. "--sleep 500"); tests/tools/recordargs.cpp defines what it records.
  // Paths are quoted only when they hold a blank: a settings value that begins and ends with a quote
  // is read without them.
  std::string RecordArgsCommand(std::string_view log, std::string_view extra = {}) const;
  // The starts recordargs.exe recorded in log; empty when nothing was recorded, nullopt when the log
  // is not in its format.
  std::optional<std::vector<testing::RecordedStart>> ReadRecords(std::string_view log) const;
  // The lines of a text file, CRLF or LF ended; empty when the file does not exist.
  std::vector<std::string> ReadLines(std::string_view name) const;

 private:
  std::string dir_;
};

// Group Policy texts (REG_SZ) under Software\Policies\Kestel of the machine ("M section\name=text") and
// of the user ("U ..."), in the 64-bit view where the policy engine writes them, for the life of the
// object. Both keys are removed before and after: every end-to-end test holds the session's lock
// (cmake/WineTests.cmake), so no other run of the prefix sees them.
class PolicyValues {
 public:
  explicit PolicyValues(const std::vector<std::string>& values);
  ~PolicyValues() { Remove(); }
  PolicyValues(const PolicyValues&) = delete;
  PolicyValues& operator=(const PolicyValues&) = delete;

 private:
  static void Remove();
};

// Names each row of a parameterised test after the row's own name rather than its index.
inline constexpr auto CaseName = [](const auto& tested) { return std::string(tested.param.name); };

}  // namespace kestel::e2e
