// The kernel handles a running process holds, read from outside by its process id, one line per call:
//   follow_sample.exe PID  ->  "handles H"
// Wine answers GetProcessHandleCount for another process with 0; the system's list of every handle
// (SystemHandleInformation) comes from its server and is complete. bench/follow-cost.sh samples a
// follower with it while the follower polls.
#include <windows.h>
#include <winternl.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct HandleEntry {
  ULONG ownerPid;
  BYTE objectType;
  BYTE flags;
  USHORT value;
  PVOID object;
  ACCESS_MASK access;
};
struct HandleList {
  ULONG count;
  HandleEntry entries[1];
};
constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const ULONG pid = static_cast<ULONG>(std::strtoul(argv[1], nullptr, 10));
  const auto query = reinterpret_cast<decltype(&NtQuerySystemInformation)>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  std::vector<unsigned char> buffer(1 << 20);
  ULONG needed = 0;
  NTSTATUS status;
  while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
         static_cast<NTSTATUS>(0xC0000004L))  // STATUS_INFO_LENGTH_MISMATCH
    buffer.resize(buffer.size() * 2);
  if (status != 0) return 1;
  const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
  unsigned long count = 0;
  for (ULONG i = 0; i < list->count; ++i)
    if (list->entries[i].ownerPid == pid) ++count;
  std::printf("handles %lu\n", count);
  return 0;
}
