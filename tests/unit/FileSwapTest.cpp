// kestel.ini's swap over a folder in memory: each outcome the platform documents, holders that let go
// and holders that do not, and a kill after each call; then the next run's tidying.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "settings/FileSwap.h"

namespace kestel {
namespace {

using Fails = std::map<std::string, std::deque<std::uint32_t>>;
using Files = std::map<std::string, std::string>;
const std::string kIni = "C:\\Kestel\\kestel.ini";
const std::string kOld = "[user]\r\nusername=a longer old name\r\n";
const std::string kNew = "[user]\r\nusername=new\r\n";
const std::deque<std::uint32_t> kHeld(4, kErrorSharingViolation);
struct Killed {};

// Each call is recorded as its name and the role of its file ("ini", "tmp", "bak") and fails with
// the codes scripted for that, in turn; otherwise it does what the platform documents. The process
// is killed as it is about to make the call after number killAfter.
class FakeFolder final : public FileCalls {
 public:
  Files files{{kIni, kOld}};
  bool readOnly = false;
  Fails fails;
  std::vector<std::string> calls;
  std::set<std::uint32_t> swapping;
  std::uint32_t self = 7;
  std::size_t killAfter = 0;

  std::uint32_t Open(const std::string& path, Access access, std::unique_ptr<File>& file) override {
    const char* const how[] = {"OpenDelete ", "OpenCreateNew ", "OpenRewrite "};
    const bool create = access == Access::CreateNew;
    std::uint32_t code = Call(how[static_cast<int>(access)] + Role(path));
    if (code == 0 && create == (files.count(path) > 0)) code = create ? kErrorFileExists : kErrorFileNotFound;
    if (code == 0 && access == Access::Rewrite && readOnly) code = 5;
    if (code != 0) return code;
    files[path];
    file = std::make_unique<FakeFile>(*this, path);
    return 0;
  }
  std::uint32_t Attributes(const std::string& path, std::uint32_t& attributes) override {
    attributes = readOnly ? kFileAttributeReadOnly : 0;
    Call("Attributes");
    return files.count(path) ? 0 : kErrorFileNotFound;
  }
  std::uint32_t Replace(const std::string& target, const std::string& replacement, const std::string& backup) override {
    const std::uint32_t code = Call("Replace");
    if (code == 0 || code == kErrorUnableToMoveReplacement2) Rename(target, backup);
    if (code == 0) Rename(replacement, target);
    return code;
  }
  std::uint32_t Move(const std::string& from, const std::string& to) override {
    const std::uint32_t code = Call("Move " + Role(from));
    if (code == 0 && files.count(to)) return kErrorAlreadyExists;
    if (code == 0) Rename(from, to);
    return code;
  }
  std::uint32_t Delete(const std::string& path) override {
    const std::uint32_t code = Call("Delete " + Role(path));
    return code ? code : files.erase(path) ? 0 : kErrorFileNotFound;
  }
  void Pause(unsigned) override { Call("Pause"); }
  std::uint32_t ProcessId() override { return self; }
  std::vector<std::string> Find(const std::string& prefix) override {
    std::vector<std::string> found;
    for (const auto& [path, bytes] : files)
      if (path.starts_with(prefix)) found.push_back(path);
    return found;
  }
  bool MaySwap(std::uint32_t processId) override { return swapping.count(processId) > 0; }

  std::size_t Count(const std::string& call) const {
    return static_cast<std::size_t>(std::count(calls.begin(), calls.end(), call));
  }
  // A new process after this one ended, as the next run starts; whatever held a file has let go.
  void NextRun() {
    ++self;
    killAfter = 0;
    fails.clear();
    TidyBeside(*this, kIni);
  }

 private:
  struct FakeFile final : File {
    FakeFile(FakeFolder& folder, std::string path) : folder(folder), path(std::move(path)) {}
    std::uint32_t Write(std::string_view bytes) override {
      const std::uint32_t code = folder.Call("Write " + folder.Role(path));
      if (code == 0) folder.files[path].replace(0, written = bytes.size(), bytes);
      return code;
    }
    std::uint32_t EndHere() override {
      const std::uint32_t code = folder.Call("EndHere");
      folder.files[path].resize(written);
      return code;
    }
    std::uint32_t Flush() override { return folder.Call("Flush"); }
    std::uint32_t Discard() override {
      const std::uint32_t code = folder.Call("Discard");
      folder.files.erase(path);
      return code;
    }
    FakeFolder& folder;
    std::string path;
    std::size_t written = 0;
  };

  std::string Role(const std::string& path) const { return path == kIni ? "ini" : path.substr(path.size() - 3); }
  void Rename(const std::string& from, const std::string& to) {
    files[to] = files[from];
    files.erase(from);
  }
  // The code scripted for the call, 0 for none.
  std::uint32_t Call(const std::string& name) {
    if (killAfter != 0 && calls.size() == killAfter) throw Killed{};
    calls.push_back(name);
    std::deque<std::uint32_t>& codes = fails[name];
    if (codes.empty()) return 0;
    const std::uint32_t code = codes.front();
    codes.pop_front();
    return code;
  }
};

TEST(SettingsSwap, EveryOutcomeAndAKillAfterAnyCallLeaveKestelIniWholeAndNoCopyBesideIt) {
  const Fails kBothHeld = {{"Replace", {1177}}, {"Move bak", kHeld}, {"Move tmp", kHeld}};
  const struct {
    const char* name;
    Fails fails;
    const char* outcome;
    std::string setup = "";  // "missing" or "read-only"
  } rows[] = {
      {"swapped in, the old file not kept", {}, "swap"},
      {"1175 until the holder lets go", {{"Replace", {1175, 1175}}}, "swap, 2 paused"},
      {"1176: with a backup name both files keep theirs", {{"Replace", {1176}}}, "swap, 1 paused"},
      {"1177: the old file goes back, then the swap again", {{"Replace", {1177}}}, "swap, 1 paused"},
      {"1177, old file held: the new one takes the name", {{"Replace", {1177}}, {"Move bak", kHeld}}, "swap, 3 paused"},
      {"1177, both held: both stay for the next run", kBothHeld, "gone, 6 paused, 2 left"},
      {"1175 that does not clear: in place", {{"Replace", {1175, 1175, 1175, 1175}}}, "in place, 3 paused"},
      {"another failure: in place at once", {{"Replace", {5}}}, "in place"},
      {"kestel.ini held against renaming, then let go", {{"OpenDelete ini", {32, 33}}}, "swap, 2 paused"},
      {"held so throughout", {{"OpenDelete ini", kHeld}}, "in place, none beside, 3 paused"},
      {"held against writes", {{"OpenDelete ini", kHeld}, {"OpenRewrite ini", {32}}}, "refused, none beside, 3 paused"},
      {"kestel.ini not this user's to rename", {{"OpenDelete ini", {5}}}, "in place, none beside"},
      {"the folder refuses new files", {{"OpenCreateNew tmp", {5}}}, "in place, none beside"},
      {"a file only its handle may delete", {{"OpenDelete tmp", {5}}, {"Delete tmp", {5}}}, "in place, none beside"},
      {"the disk full beside it", {{"Write tmp", {112}}}, "refused"},
      {"read-only", {}, "refused, none beside", "read-only"},
      {"the old file held after the swap", {{"Delete bak", kHeld}}, "swap, 3 paused, 1 left"},
      {"no kestel.ini: created", {}, "swap", "missing"},
  };
  for (const auto& row : rows) {
    const auto folderFor = [&](std::size_t killAfter) {
      FakeFolder folder;
      folder.fails = row.fails;
      folder.readOnly = row.setup == "read-only";
      if (row.setup == "missing") folder.files.clear();
      folder.killAfter = killAfter;
      return folder;
    };
    FakeFolder folder = folderFor(0);
    const bool written = SwapInWhole(folder, kIni, kNew);
    const bool present = folder.files.count(kIni) > 0;
    if (present) EXPECT_EQ(folder.files[kIni], written ? kNew : kOld) << row.name;
    std::string outcome = written   ? folder.Count("OpenRewrite ini") ? "in place" : "swap"
                          : present ? "refused"
                                    : "gone";
    if (!folder.Count("Write tmp")) outcome += ", none beside";
    if (const std::size_t pauses = folder.Count("Pause")) outcome += ", " + std::to_string(pauses) + " paused";
    if (const std::size_t left = folder.files.size() - present) outcome += ", " + std::to_string(left) + " left";
    EXPECT_EQ(outcome, row.outcome) << row.name;
    const std::size_t made = folder.calls.size();
    folder.NextRun();
    EXPECT_EQ(folder.files, (Files{{kIni, written ? kNew : kOld}})) << row.name;

    // Killed after any call (but for a write in place, which a kill in its middle tears whatever the
    // order of calls): the next run finds the old file or the new one, and nothing beside it.
    const Files old = row.setup == "missing" ? Files{} : Files{{kIni, kOld}};
    for (std::size_t kill = 1; !outcome.starts_with("in place") && kill < made; ++kill) {
      FakeFolder killed = folderFor(kill);
      EXPECT_THROW(SwapInWhole(killed, kIni, kNew), Killed) << row.name;
      const std::string after = killed.calls.back();
      killed.NextRun();
      EXPECT_TRUE(killed.files == old || killed.files == (Files{{kIni, kNew}}))
          << row.name << ", killed after " << after;
    }
  }
}

TEST(SettingsSwap, TheNextRunRemovesOnlyWhatAKestelThatNoLongerRunsLeft) {
  FakeFolder folder;
  folder.swapping = {9};
  const std::vector<std::string> kept = {
      TempBeside(kIni, 9),    BackupBeside(kIni, 9),       kIni + ".bak",
      kIni + ".kestel-x.tmp", kIni + ".kestel-12.tmp.old", kIni + ".kestel-99999999999.tmp"};
  for (const std::string& path : kept) folder.files[path] = kOld;
  for (const std::uint32_t gone : {12u, 8u}) folder.files[TempBeside(kIni, gone)] = kOld;
  folder.NextRun();  // as process 8: a name of its own is an earlier process's
  for (const std::string& path : kept) EXPECT_TRUE(folder.files.count(path)) << path;
  EXPECT_EQ(folder.files.size(), kept.size() + 1);

  // Stopped with kestel.ini under the backup name, which is held when the next run comes.
  FakeFolder stopped;
  stopped.files = {{TempBeside(kIni, 7), kNew}, {BackupBeside(kIni, 7), kOld}};
  stopped.self = 11;
  stopped.fails = {{"Move bak", {kErrorSharingViolation}}};
  TidyBeside(stopped, kIni);
  EXPECT_EQ(stopped.files.size(), 2u);
  stopped.NextRun();
  EXPECT_EQ(stopped.files, (Files{{kIni, kOld}}));
}

}  // namespace
}  // namespace kestel
