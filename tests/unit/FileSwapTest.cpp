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
const std::string kIni = "C:\\Kestel\\kestel.ini";
const std::string kOld = "[user]\r\nusername=a longer old name\r\n";
const std::string kNew = "[user]\r\nusername=new\r\n";
const std::deque<std::uint32_t> kHeld(4, kErrorSharingViolation);
struct Killed {};

// Each call is recorded as its name and the role of its file ("ini", "tmp", "bak") and fails with
// the codes scripted for that, in turn; otherwise it does what the platform documents.
class FakeFolder final : public FileCalls {
 public:
  std::map<std::string, std::string> files{{kIni, kOld}};
  std::string undeletable;  // the role of a file this user may not delete
  bool readOnly = false, createdBeside = false;
  Fails fails;
  std::vector<std::string> calls;
  std::set<std::uint32_t> swapping;
  std::uint32_t self = 7;
  std::size_t killAfter = 0;

  std::uint32_t Open(const std::string& path, Access access, std::unique_ptr<File>& file) override {
    const char* const how[] = {"OpenDelete ", "OpenCreateNew ", "OpenRewrite "};
    return Call(how[static_cast<int>(access)] + Role(path), [&](std::uint32_t code) {
      const bool create = access == Access::CreateNew;
      if (code == 0 && create == (files.count(path) > 0)) code = create ? 80 : kErrorFileNotFound;
      if (code == 0 && (access == Access::Delete ? undeletable == Role(path) : !create && readOnly)) code = 5;
      if (code != 0) return code;
      createdBeside |= create;
      files[path];
      file = std::make_unique<FakeFile>(*this, path);
      return code;
    });
  }
  std::uint32_t Attributes(const std::string& path, std::uint32_t& attributes) override {
    attributes = readOnly ? kFileAttributeReadOnly : 0;
    return Call("Attributes", [&](std::uint32_t code) { return code ? code : Exists(path); });
  }
  std::uint32_t Replace(const std::string& target, const std::string& replacement, const std::string& backup) override {
    return Call("Replace", [&](std::uint32_t code) {
      if (code == 0 || code == kErrorUnableToMoveReplacement2) Rename(target, backup);
      if (code == 0) Rename(replacement, target);
      return code;
    });
  }
  std::uint32_t Move(const std::string& from, const std::string& to) override {
    return Call("Move " + Role(from), [&](std::uint32_t code) {
      if (code == 0 && files.count(to)) return kErrorAlreadyExists;
      if (code == 0) Rename(from, to);
      return code;
    });
  }
  std::uint32_t Delete(const std::string& path) override {
    return Call("Delete " + Role(path), [&](std::uint32_t code) {
      if (code == 0 && undeletable == Role(path)) return 5u;
      return code ? code : static_cast<std::uint32_t>(files.erase(path) ? 0 : kErrorFileNotFound);
    });
  }
  void Pause(unsigned) override {
    Call("Pause", [](std::uint32_t code) { return code; });
  }
  std::uint32_t ProcessId() override { return self; }
  std::vector<std::string> Find(const std::string& prefix) override {
    std::vector<std::string> found;
    for (const auto& [path, bytes] : files)
      if (path.rfind(prefix, 0) == 0) found.push_back(path);
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
      return folder.Call("Write " + folder.Role(path), [&](std::uint32_t code) {
        if (code == 0) {
          folder.files[path].replace(0, bytes.size(), bytes);
          written = bytes.size();
        }
        return code;
      });
    }
    std::uint32_t EndHere() override {
      return folder.Call("EndHere", [&](std::uint32_t code) {
        folder.files[path].resize(written);
        return code;
      });
    }
    std::uint32_t Flush() override {
      return folder.Call("Flush", [](std::uint32_t code) { return code; });
    }
    std::uint32_t Discard() override {
      return folder.Call("Discard", [&](std::uint32_t code) {
        folder.files.erase(path);
        return code;
      });
    }
    FakeFolder& folder;
    std::string path;
    std::size_t written = 0;
  };

  std::string Role(const std::string& path) const { return path == kIni ? "ini" : path.substr(path.size() - 3); }
  std::uint32_t Exists(const std::string& path) const { return files.count(path) ? 0 : kErrorFileNotFound; }
  void Rename(const std::string& from, const std::string& to) {
    files[to] = files[from];
    files.erase(from);
  }
  // effect gets the scripted code, 0 for none, and gives the call's; a kill comes after it.
  template <class Effect>
  std::uint32_t Call(const std::string& name, Effect effect) {
    calls.push_back(name);
    std::deque<std::uint32_t>& codes = fails[name];
    const std::uint32_t scripted = codes.empty() ? 0 : codes.front();
    if (!codes.empty()) codes.pop_front();
    const std::uint32_t code = effect(scripted);
    if (calls.size() == killAfter) throw Killed{};
    return code;
  }
};

TEST(SettingsSwap, EveryOutcomeLeavesKestelIniWholeAndNoCopyBesideIt) {
  const struct {
    const char* name;
    Fails fails;
    const char* setup;  // "missing", "read-only", or the role of a file this user may not delete
    bool written;
    const char* way;
    std::size_t pauses, leftBeside;
  } rows[] = {
      {"swapped in, the old file not kept", {}, "", true, "swap", 0, 0},
      {"1175 until the holder lets go", {{"Replace", {1175, 1175}}}, "", true, "swap", 2, 0},
      {"1176: with a backup name both files keep theirs", {{"Replace", {1176}}}, "", true, "swap", 1, 0},
      {"1177: the old file goes back, then the swap again", {{"Replace", {1177}}}, "", true, "swap", 1, 0},
      {"1177, the old file held: the new one takes the name",
       {{"Replace", {1177}}, {"Move bak", kHeld}},
       "",
       true,
       "swap",
       3,
       0},
      {"1177, both held: both stay for the next run",
       {{"Replace", {1177}}, {"Move bak", kHeld}, {"Move tmp", kHeld}},
       "",
       false,
       "gone",
       6,
       2},
      {"1175 that does not clear: in place", {{"Replace", {1175, 1175, 1175, 1175}}}, "", true, "in place", 3, 0},
      {"another failure: in place at once", {{"Replace", {5}}}, "", true, "in place", 0, 0},
      {"kestel.ini held against renaming, then let go", {{"OpenDelete ini", {32, 33}}}, "", true, "swap", 2, 0},
      {"held so throughout", {{"OpenDelete ini", kHeld}}, "", true, "in place, nothing beside", 3, 0},
      {"held against writing too",
       {{"OpenDelete ini", kHeld}, {"OpenRewrite ini", {32}}},
       "",
       false,
       "refused, nothing beside",
       3,
       0},
      {"kestel.ini not this user's to rename", {}, "ini", true, "in place, nothing beside", 0, 0},
      {"the folder refuses new files", {{"OpenCreateNew tmp", {5}}}, "", true, "in place, nothing beside", 0, 0},
      {"a new file only its handle may delete", {}, "tmp", true, "in place", 0, 0},
      {"the disk full beside it", {{"Write tmp", {112}}}, "", false, "refused", 0, 0},
      {"read-only", {}, "read-only", false, "refused, nothing beside", 0, 0},
      {"the old file held after the swap", {{"Delete bak", kHeld}}, "", true, "swap", 3, 1},
      {"no kestel.ini: created", {}, "missing", true, "swap", 0, 0},
  };
  for (const auto& row : rows) {
    FakeFolder folder;
    folder.fails = row.fails;
    folder.undeletable = row.setup;
    folder.readOnly = row.setup == std::string("read-only");
    if (row.setup == std::string("missing")) folder.files.clear();
    EXPECT_EQ(SwapInWhole(folder, kIni, kNew), row.written) << row.name;
    const bool present = folder.files.count(kIni) > 0;
    const std::string way = std::string(row.written ? folder.Count("OpenRewrite ini") ? "in place" : "swap"
                                        : present   ? "refused"
                                                    : "gone") +
                            (folder.createdBeside ? "" : ", nothing beside");
    EXPECT_EQ(way, row.way) << row.name;
    if (present) EXPECT_EQ(folder.files[kIni], row.written ? kNew : kOld) << row.name;
    EXPECT_EQ(folder.Count("Pause"), row.pauses) << row.name;
    EXPECT_EQ(folder.files.size() - present, row.leftBeside) << row.name;
    folder.NextRun();
    EXPECT_EQ(folder.files, (std::map<std::string, std::string>{{kIni, row.written ? kNew : kOld}})) << row.name;
  }
}

TEST(SettingsSwap, AKillAfterAnyCallLeavesTheOldFileOrTheNewOneOnceTheNextRunTidies) {
  for (const Fails& script : {Fails{}, Fails{{"Replace", {1177}}}, Fails{{"Replace", {1177}}, {"Move bak", kHeld}}}) {
    for (std::size_t killAfter = 1;; ++killAfter) {
      FakeFolder folder;
      folder.fails = script;
      folder.killAfter = killAfter;
      bool killed = false;
      try {
        SwapInWhole(folder, kIni, kNew);
      } catch (const Killed&) {
        killed = true;
      }
      const std::string after = folder.calls.back() + " (call " + std::to_string(killAfter) + ")";
      folder.NextRun();
      ASSERT_EQ(folder.files.size(), 1u) << after << ": " << folder.files.rbegin()->first;
      EXPECT_TRUE(folder.files[kIni] == kOld || folder.files[kIni] == kNew) << after;
      if (!killed) break;
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
  EXPECT_EQ(stopped.files, (std::map<std::string, std::string>{{kIni, kOld}}));
}

}  // namespace
}  // namespace kestel
