// kestel.ini replaced whole by a file written beside it and swapped in: at every moment, a kill
// included, the file is the old one or the new one, and no copy of it (the password in it) stays
// beside it. The logic speaks to the platform only through the file calls it makes, so that each
// outcome the platform documents, which the suite's own platform cannot produce, is shown as well.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestel {

// The platform's codes that the swap tells apart.
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorSharingViolation = 32;
inline constexpr std::uint32_t kErrorLockViolation = 33;
inline constexpr std::uint32_t kErrorFileExists = 80;
inline constexpr std::uint32_t kErrorAlreadyExists = 183;
inline constexpr std::uint32_t kErrorUnableToRemoveReplaced = 1175;    // nothing changed
inline constexpr std::uint32_t kErrorUnableToMoveReplacement = 1176;   // with a backup name: nothing changed
inline constexpr std::uint32_t kErrorUnableToMoveReplacement2 = 1177;  // the old file lies under the backup name
inline constexpr std::uint32_t kFileAttributeReadOnly = 0x1;
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;

// One platform call each; every one answers the platform's error code, 0 for success.
class FileCalls {
 public:
  virtual ~FileCalls() = default;

  // An open file, closed when it goes.
  class File {
   public:
    virtual ~File() = default;
    virtual std::uint32_t Write(std::string_view bytes) = 0;  // all of them
    virtual std::uint32_t EndHere() = 0;                      // the file ends where the writing did
    virtual std::uint32_t Flush() = 0;
    // Removed as it is closed, through this handle: in a folder where users may create files but not
    // delete them, the creator may still delete through the handle it created with.
    virtual std::uint32_t Discard() = 0;
  };
  enum class Access {
    Delete,     // an existing file, for deleting it only, shared with everyone: may it be renamed away?
    CreateNew,  // a file that must not exist yet, to write and delete, shared only for deleting
    Rewrite,    // an existing file, to write, shared only for reading
  };
  virtual std::uint32_t Open(const std::string& path, Access access, std::unique_ptr<File>& file) = 0;
  virtual std::uint32_t Attributes(const std::string& path, std::uint32_t& attributes) = 0;
  // The replacement takes target's name, attributes and permissions; target goes to backup.
  virtual std::uint32_t Replace(const std::string& target, const std::string& replacement,
                                const std::string& backup) = 0;
  virtual std::uint32_t Move(const std::string& from, const std::string& to) = 0;  // never over a file
  virtual std::uint32_t Delete(const std::string& path) = 0;
  virtual void Pause(unsigned milliseconds) = 0;
  virtual std::uint32_t ProcessId() = 0;
  // The full paths of the files whose path begins with prefix.
  virtual std::vector<std::string> Find(const std::string& prefix) = 0;
  // False only when the process is certainly no Kestel swapping now: gone, or another program.
  virtual bool MaySwap(std::uint32_t processId) = 0;
};

// Where process processId writes beside path, and keeps the old file during a swap.
std::string TempBeside(const std::string& path, std::uint32_t processId);
std::string BackupBeside(const std::string& path, std::uint32_t processId);

// path replaced by bytes; false when it was left as it was (or, when even the last way back failed,
// left beside it for the next run to put back). A file marked read-only is never replaced.
bool SwapInWhole(FileCalls& calls, const std::string& path, const std::string& bytes);

// Removes what a Kestel that no longer runs left beside path, and puts the old file back where such
// a Kestel was stopped with it under the backup name.
void TidyBeside(FileCalls& calls, const std::string& path);

}  // namespace kestel
