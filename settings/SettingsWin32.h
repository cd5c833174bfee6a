// kestel.ini on Windows: its own reader and writer over the file's bytes, read with CreateFileW and
// written beside the file, then swapped in, so that a write replaces the whole file or nothing.
#pragma once

#include "settings/FileSwap.h"
#include "settings/IniFile.h"

namespace kestel {

class Win32AnsiCodePage final : public AnsiCodePage {
 public:
  unsigned Number() const override;
  std::string ToUtf8(std::string_view bytes) const override;
  std::string FromUtf8(std::string_view text) const override;
};

// The swap's file calls, made for real.
class Win32FileCalls final : public FileCalls {
 public:
  std::uint32_t Open(const std::string& path, Access access, std::unique_ptr<File>& file) override;
  std::uint32_t Attributes(const std::string& path, std::uint32_t& attributes) override;
  std::uint32_t Replace(const std::string& target, const std::string& replacement, const std::string& backup) override;
  std::uint32_t Move(const std::string& from, const std::string& to) override;
  std::uint32_t Delete(const std::string& path) override;
  void Pause(unsigned milliseconds) override;
  std::uint32_t ProcessId() override;
  std::vector<std::string> Find(const std::string& prefix) override;
  bool MaySwap(std::uint32_t processId) override;
};

// Once a run, before it writes: what a Kestel that was stopped mid-swap left beside kestel.ini.
void TidySettingsLeftovers(const std::string& path);

class Win32SettingsStore final : public SettingsStore {
 public:
  Read ReadAll(const std::string& path, std::string& bytes) override;
  // A file marked read-only is never replaced: the mark says so on Windows, whoever runs.
  bool ReplaceAll(const std::string& path, const std::string& bytes) override;
};

class Win32Profile final : public ProfileApi {
 public:
  explicit Win32Profile(IniProfile::Reencoded reencoded = {}) : ini_(store_, codePage_, std::move(reencoded)) {}
  std::uint32_t GetString(const char* section, const char* key, const char* defaultText, char* buffer,
                          std::uint32_t size, const char* path) override {
    return ini_.GetString(section, key, defaultText, buffer, size, path);
  }
  bool WriteString(const char* section, const char* key, const char* value, const char* path) override {
    return ini_.WriteString(section, key, value, path);
  }
  void OnReencoded(IniProfile::Reencoded reencoded) { ini_.OnReencoded(std::move(reencoded)); }

 private:
  Win32SettingsStore store_;
  Win32AnsiCodePage codePage_;
  IniProfile ini_;
};

}  // namespace kestel
