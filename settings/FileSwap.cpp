#include "settings/FileSwap.h"

#include <map>
#include <optional>
#include <utility>

namespace kestel {

namespace {

// A scanner or an indexer holds a file it has just seen for some milliseconds; one that has not let
// go after a fifth of a second is not about to, and the run's window waits meanwhile.
constexpr int kTries = 4;
constexpr unsigned kFirstPauseMs = 30;

bool HeldByAnother(std::uint32_t error) {
  return error == kErrorSharingViolation || error == kErrorLockViolation;
}

// The failures after which both files have their names again and another try may go through.
bool ReplaceMayClear(std::uint32_t error) {
  return HeldByAnother(error) || error == kErrorUnableToRemoveReplaced || error == kErrorUnableToMoveReplacement ||
         error == kErrorUnableToMoveReplacement2;
}

template <class MayClear, class Call>
std::uint32_t Tried(FileCalls& calls, MayClear mayClear, Call call) {
  unsigned pause = kFirstPauseMs;
  for (int tried = 1;; ++tried, pause *= 2) {
    const std::uint32_t error = call();
    if (error == 0 || tried == kTries || !mayClear(error)) return error;
    calls.Pause(pause);
  }
}

std::uint32_t Delete(FileCalls& calls, const std::string& path) {
  return Tried(calls, HeldByAnother, [&] { return calls.Delete(path); });
}

std::uint32_t Move(FileCalls& calls, const std::string& from, const std::string& to) {
  return Tried(calls, HeldByAnother, [&] { return calls.Move(from, to); });
}

// Where users may change kestel.ini but not rename it away (the folder locked down, the file's own
// permissions opened), the file is rewritten where it lies, as earlier Kestel always did: such a
// deployment must not lose the typed credentials because the safer swap is not allowed.
bool RewriteInPlace(FileCalls& calls, const std::string& path, const std::string& bytes) {
  std::unique_ptr<FileCalls::File> file;
  return calls.Open(path, FileCalls::Access::Rewrite, file) == 0 && file->Write(bytes) == 0 && file->EndHere() == 0 &&
         file->Flush() == 0;
}

// The process id and kind (1: the file written, 2: the old file kept) of a name after "kestel.ini.kestel-".
std::optional<std::pair<std::uint32_t, int>> OwnerOf(std::string_view rest) {
  std::uint64_t id = 0;
  std::size_t digits = 0;
  for (; digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9' && digits < 10; ++digits)
    id = id * 10 + static_cast<std::uint64_t>(rest[digits] - '0');
  if (digits == 0 || id > 0xFFFFFFFFu) return std::nullopt;
  const std::string_view kind = rest.substr(digits);
  if (kind != ".tmp" && kind != ".bak") return std::nullopt;
  return std::pair{static_cast<std::uint32_t>(id), kind == ".tmp" ? 1 : 2};
}

}  // namespace

std::string TempBeside(const std::string& path, std::uint32_t processId) {
  return path + ".kestel-" + std::to_string(processId) + ".tmp";
}

std::string BackupBeside(const std::string& path, std::uint32_t processId) {
  return path + ".kestel-" + std::to_string(processId) + ".bak";
}

bool SwapInWhole(FileCalls& calls, const std::string& path, const std::string& bytes) {
  using Access = FileCalls::Access;
  std::uint32_t attributes = 0;
  if (calls.Attributes(path, attributes) == 0 && (attributes & (kFileAttributeReadOnly | kFileAttributeDirectory)))
    return false;

  // The swap renames kestel.ini away. Where this user may not, or another program holds it so, nothing
  // is put beside it: the file is written in place, or not at all.
  std::unique_ptr<FileCalls::File> probe;
  const std::uint32_t renamable = Tried(calls, HeldByAnother, [&] { return calls.Open(path, Access::Delete, probe); });
  probe.reset();
  const bool missing = renamable == kErrorFileNotFound;
  if (renamable != 0 && !missing) return RewriteInPlace(calls, path, bytes);

  // Beside the file, so that the swap stays on one volume and never copies.
  const std::uint32_t self = calls.ProcessId();
  const std::string temp = TempBeside(path, self);
  const std::string backup = BackupBeside(path, self);
  std::unique_ptr<FileCalls::File> file;
  if (calls.Open(temp, Access::CreateNew, file) != 0) return !missing && RewriteInPlace(calls, path, bytes);
  // After a refused swap the file is removed by its name, which a folder that lets users create files
  // but not delete them refuses: it goes through the handle that created it while that is still open.
  std::unique_ptr<FileCalls::File> check;
  const bool removable = calls.Open(temp, Access::Delete, check) == 0;
  check.reset();
  if (!removable || file->Write(bytes) != 0 || file->Flush() != 0) {
    file->Discard();
    file.reset();
    return !removable && !missing && RewriteInPlace(calls, path, bytes);
  }
  file.reset();  // the swap opens it sharing nothing

  if (missing) {
    if (Move(calls, temp, path) == 0) return true;
    Delete(calls, temp);
    return false;
  }
  // Each outcome is told by its code: the names say nothing of which file holds what.
  bool stranded = false;  // kestel.ini gone, the old file under the backup name, which cannot go back
  const std::uint32_t replaced = Tried(
      calls, [&](std::uint32_t error) { return !stranded && ReplaceMayClear(error); },
      [&] {
        const std::uint32_t error = calls.Replace(path, temp, backup);
        if (error == kErrorUnableToMoveReplacement2) stranded = Move(calls, backup, path) != 0;
        return error;
      });
  if (replaced == 0) {
    Delete(calls, backup);
    return true;
  }
  if (stranded) {
    // The new file takes the name instead; failing that too, both stay for the next run to put the
    // old one back.
    if (Move(calls, temp, path) != 0) return false;
    Delete(calls, backup);
    return true;
  }
  Delete(calls, temp);
  return RewriteInPlace(calls, path, bytes);
}

void TidyBeside(FileCalls& calls, const std::string& path) {
  const std::string prefix = path + ".kestel-";
  std::map<std::uint32_t, int> left;
  for (const std::string& found : calls.Find(prefix))
    if (const auto owner = OwnerOf(std::string_view(found).substr(prefix.size()))) left[owner->first] |= owner->second;
  const std::uint32_t self = calls.ProcessId();
  for (const auto& [owner, kinds] : left) {
    // This runs before the process writes: a name with its own id is an earlier process's.
    if (owner != self && calls.MaySwap(owner)) continue;
    const std::string backup = BackupBeside(path, owner);
    // Both names: stopped between the swap's two renames, kestel.ini gone and the old file under the
    // backup name. It goes back; the old file is dropped only for one that has taken the name since.
    const std::uint32_t putBack = kinds == 3 ? calls.Move(backup, path) : kErrorAlreadyExists;
    if (putBack != 0 && putBack != kErrorAlreadyExists && putBack != kErrorFileExists) continue;
    if (kinds & 1) calls.Delete(TempBeside(path, owner));
    if ((kinds & 2) && putBack != 0) calls.Delete(backup);
  }
}

}  // namespace kestel
