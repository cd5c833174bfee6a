// driver.exe: the window driver for scripts. Each subcommand prints plain text and exits 0 when it
// did what was asked, 1 when the window or box was not there (in time), 2 on a usage error.
//
// A WINDOW argument is either a window handle written in hex ("0x1A2B") or a process id, which
// stands for that process's first visible top-level window (its box, for box commands).
// clang-format off
#include <windows.h>
#include <tlhelp32.h>
// clang-format on

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "Driver.h"
#include "Process.h"
#include "Rounds.h"

namespace {

using namespace kestel::driver;

constexpr const char* kUsage =
    "usage: driver COMMAND ARGS\n"
    "  windows PID                      list top-level windows: handle, visible, class, caption\n"
    "  wait-window PID CLASS|- CAPTION|- TIMEOUTMS\n"
    "                                   wait for a window; prints its handle\n"
    "  wait-box PID TIMEOUTMS [CAPTION] wait for a box; prints caption, text, buttons, icon\n"
    "  press WINDOW CAPTION             press a button\n"
    "  send-press WINDOW CAPTION        press a button with a sent BM_CLICK, as UI automation does\n"
    "  key WINDOW return|escape|tab|space [shift] [post]\n"
    "  close WINDOW                     the close box\n"
    "  send-close WINDOW                the close box, sent as UI automation does\n"
    "  text WINDOW                      the window's text\n"
    "  set-text WINDOW TEXT             set an edit's text\n"
    "  child WINDOW CLASS|- TEXT|-      find a child; prints its handle and id\n"
    "  size WINDOW                      outer and client size\n"
    "  pixel WINDOW X Y                 client pixel as RRGGBB\n"
    "  state WINDOW                     visible, enabled, focused child\n"
    "  peak-memory PID                  peak working set in bytes\n"
    "  start PROGRAM [ARGS...]          start a program, leave it running; prints its process id\n"
    "  pids EXENAME                     process ids of running programs of that file name\n"
    "  time ROUNDS PROGRAM [ARGS...]    start and await the command ROUNDS times; prints per round:\n"
    "                                   round, milliseconds, exit code, peak working set in bytes (- if unknown)\n";

constexpr Milliseconds kRoundTimeout{120000};

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

std::optional<unsigned long long> ParseNumber(const char* text) {
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text, &end, 0);
  if (end == text || *end != '\0') return std::nullopt;
  return value;
}

std::optional<std::string_view> OptionalArg(const char* text) {
  if (std::string_view(text) == "-") return std::nullopt;
  return text;
}

std::string Handle(HWND window) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window)));
  return text;
}

// A handle, or the pid's box when there is one, else its first visible top-level window.
std::optional<HWND> ResolveWindow(const char* text) {
  const auto number = ParseNumber(text);
  if (!number) return std::nullopt;
  if (std::string_view(text).starts_with("0x")) {
    HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(*number));
    if (!IsWindow(window)) return std::nullopt;
    return window;
  }
  const auto pid = static_cast<DWORD>(*number);
  if (auto box = FindBox(pid)) return box;
  const auto windows = TopLevelWindows(pid);
  if (windows.empty()) return std::nullopt;
  return windows.front();
}

std::optional<Key> ParseKey(std::string_view name) {
  if (name == "return") return Key::Return;
  if (name == "escape") return Key::Escape;
  if (name == "tab") return Key::Tab;
  if (name == "space") return Key::Space;
  return std::nullopt;
}

void PrintBox(const BoxContent& box) {
  std::printf("caption: %s\ntext: %s\n", box.caption.c_str(), box.text.c_str());
  std::printf("buttons:");
  for (const auto& button : box.buttons) std::printf(" [%s]", button.c_str());
  std::printf("\nicon: %s\n", box.hasIcon ? "yes" : "no");
}

// Process ids of running programs whose file name is exeName (without regard to case).
std::vector<DWORD> ProcessIdsOf(const std::string& exeName) {
  std::vector<DWORD> pids;
  const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (snapshot.get() == INVALID_HANDLE_VALUE) return pids;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry))
    if (lstrcmpiA(entry.szExeFile, exeName.c_str()) == 0) pids.push_back(entry.th32ProcessID);
  return pids;
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) return Usage();
  const std::string& command = args[0];
  const auto arg = [&](std::size_t i) { return args[i].c_str(); };
  const auto count = args.size();

  if (command == "windows" && count == 2) {
    const auto pid = ParseNumber(arg(1));
    if (!pid) return Usage();
    for (HWND window : TopLevelWindows(static_cast<DWORD>(*pid), false))
      std::printf("%s\t%d\t%s\t%s\n", Handle(window).c_str(), Visible(window) ? 1 : 0, ClassNameOf(window).c_str(),
                  StoredText(window).c_str());
    return 0;
  }
  if (command == "wait-window" && count == 5) {
    const auto pid = ParseNumber(arg(1));
    const auto timeout = ParseNumber(arg(4));
    if (!pid || !timeout) return Usage();
    const auto window = WaitForWindow(static_cast<DWORD>(*pid), OptionalArg(arg(2)).value_or(""), OptionalArg(arg(3)),
                                      Milliseconds(*timeout));
    if (!window) return 1;
    std::printf("%s\n", Handle(*window).c_str());
    return 0;
  }
  if (command == "wait-box" && (count == 3 || count == 4)) {
    const auto pid = ParseNumber(arg(1));
    const auto timeout = ParseNumber(arg(2));
    if (!pid || !timeout) return Usage();
    const auto box = WaitForBoxContent(static_cast<DWORD>(*pid), Milliseconds(*timeout),
                                       count == 4 ? std::optional<std::string_view>(arg(3)) : std::nullopt);
    if (!box) return 1;
    PrintBox(*box);
    return 0;
  }
  if (command == "peak-memory" && count == 2) {
    const auto pid = ParseNumber(arg(1));
    if (!pid) return Usage();
    const auto peak = PeakWorkingSet(static_cast<DWORD>(*pid));
    if (!peak) return 1;
    std::printf("%zu\n", *peak);
    return 0;
  }

  if (command == "start" && count >= 2) {
    StartOptions options;
    for (std::size_t i = 2; i < count; ++i) options.arguments += (i > 2 ? " " : "") + args[i];
    Process started = StartProgram(args[1], options);
    std::printf("%lu\n", static_cast<unsigned long>(started.Pid()));
    started.Release();
    return 0;
  }
  if (command == "pids" && count == 2) {
    const auto pids = ProcessIdsOf(args[1]);
    for (const DWORD pid : pids) std::printf("%lu\n", static_cast<unsigned long>(pid));
    return pids.empty() ? 1 : 0;
  }

  if (command == "time" && count >= 3) {
    const auto rounds = ParseNumber(arg(1));
    if (!rounds) return Usage();
    const std::string commandLine = JoinCommandLine({args.begin() + 2, args.end()});
    for (unsigned long long i = 1; i <= *rounds; ++i) {
      const Round round = TimeRound(commandLine, kRoundTimeout);
      std::printf("%llu %.3f %lu %s\n", i, round.milliseconds, static_cast<unsigned long>(round.exitCode),
                  round.peakWorkingSet ? std::to_string(*round.peakWorkingSet).c_str() : "-");
      std::fflush(stdout);  // a line per round as it ends, so a long bench shows its progress
    }
    return 0;
  }

  if (count < 2) return Usage();
  const auto window = ResolveWindow(arg(1));
  if (!window) return 1;
  if (command == "press" && count == 3) return PressButton(*window, args[2]) ? 0 : 1;
  if (command == "send-press" && count == 3) return SendClick(*window, args[2]) ? 0 : 1;
  if (command == "key" && count >= 3 && count <= 5) {
    const auto key = ParseKey(args[2]);
    if (!key) return Usage();
    bool shift = false, post = false;
    for (std::size_t i = 3; i < count; ++i) {
      if (args[i] == "shift")
        shift = true;
      else if (args[i] == "post")
        post = true;
      else
        return Usage();
    }
    if (post && shift) return Usage();
    return (post ? PostKey(*window, *key) : TypeKey(*window, *key, shift)) ? 0 : 1;
  }
  if (command == "close" && count == 2) return RequestClose(*window) ? 0 : 1;
  if (command == "send-close" && count == 2) return SendClose(*window) ? 0 : 1;
  if (command == "text" && count == 2) {
    const auto text = WindowText(*window);
    std::printf("%s\n", text.value_or(StoredText(*window)).c_str());
    return 0;
  }
  if (command == "set-text" && count == 3) return SetText(*window, args[2]) ? 0 : 1;
  if (command == "child" && count == 4) {
    const auto child = FindChild(*window, OptionalArg(arg(2)).value_or(""), OptionalArg(arg(3)));
    if (!child) return 1;
    std::printf("%s\t%d\n", Handle(*child).c_str(), GetDlgCtrlID(*child));
    return 0;
  }
  if (command == "size" && count == 2) {
    const Size outer = OuterSize(*window);
    const Size client = ClientSize(*window);
    std::printf("outer %dx%d\nclient %dx%d\n", outer.width, outer.height, client.width, client.height);
    return 0;
  }
  if (command == "pixel" && count == 4) {
    const int x = std::atoi(arg(2));
    const int y = std::atoi(arg(3));
    const auto colour = ClientPixel(*window, x, y);
    if (!colour) return 1;
    std::printf("%02X%02X%02X\n", GetRValue(*colour), GetGValue(*colour), GetBValue(*colour));
    return 0;
  }
  if (command == "state" && count == 2) {
    const auto focus = FocusedChild(*window);
    std::printf("visible %d\nenabled %d\nfocus %s\n", Visible(*window) ? 1 : 0, Enabled(*window) ? 1 : 0,
                focus ? (Handle(*focus) + " " + ClassNameOf(*focus) + " " + StoredText(*focus)).c_str() : "-");
    return 0;
  }
  return Usage();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return Run(args);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "driver: %s\n", e.what());
    return 1;
  }
}
