// The run's record on Windows: a text file in UTF-8 appended to line by line, and the Application event log
// under the source "Kestel". Whatever fails here is passed over: the record never changes a run.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "base/UniqueHandle.h"
#include "record/RunRecord.h"

namespace kestel {

inline constexpr const char* kEventSource = "Kestel";
// A log over this size when a run starts becomes "<name>.old", replacing an older one; so does a log
// that is not UTF-8 throughout (written by an earlier Kestel in the ANSI code page).
inline constexpr unsigned long long kRecordRollBytes = 1024 * 1024;

using UniqueEventSource = Unique<HANDLE, DeregisterEventSource>;

class Win32RunRecord final : public RunRecord {
 public:
  void Open(const RecordSettings& settings) override;
  bool On() const override { return holding_ || file_ || source_; }
  void Report(const RunEvent& event) override;
  std::string SystemText(std::uint32_t code) const override;
  std::uint64_t ElapsedMs() const override;

 private:
  void OpenFile(const std::string& path);
  void Write(const LocalTime& time, const RunEvent& event);

  bool holding_ = true;
  std::vector<std::pair<LocalTime, RunEvent>> held_;
  UniqueHandle file_;
  UniqueEventSource source_;
};

}  // namespace kestel
