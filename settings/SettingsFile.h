// kestel.ini: the reader and writer of the settings file, over the private-profile calls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/Config.h"
#include "settings/SettingsKeys.h"

namespace kestel {

// The two private-profile calls, with the arguments and results the platform's own had (text in
// UTF-8), so that the logic above them can be tested against an in-memory stand-in. A null pointer is
// "absent". The product's are kestel.ini's own reader and writer (settings/IniFile.h).
class ProfileApi {
 public:
  virtual ~ProfileApi() = default;
  // As GetPrivateProfileString: returns the number of bytes copied into buffer.
  virtual std::uint32_t GetString(const char* section, const char* key, const char* defaultText, char* buffer,
                                  std::uint32_t size, const char* path) = 0;
  // As WritePrivateProfileString: false when the write was refused.
  virtual bool WriteString(const char* section, const char* key, const char* value, const char* path) = 0;
};

// What a ProfileApi hands out, as the platform's private-profile reader does, into a buffer of size
// bytes (at least 1), cut at that size in bytes and never inside a letter; both return the bytes
// copied. A value ends in a zero byte. A list of names has each ended by a zero byte and one more;
// names that do not fit are cut to what does, the last one short, and the list still ends in two.
std::uint32_t CopyProfileValue(std::string_view value, char* buffer, std::uint32_t size);
std::uint32_t CopyProfileNames(const std::vector<std::string_view>& names, char* buffer, std::uint32_t size);

// The accepted form of a number in the settings file; nullopt for anything else.
std::optional<std::int32_t> ParseSettingNumber(std::string text);

// Bound to one path; holds nothing else, caches nothing: every operation goes to the file.
class SettingsFile {
 public:
  static constexpr std::uint32_t kValueBufferSize = 2048;
  static constexpr std::uint32_t kSectionBufferSize = 16384;

  SettingsFile(std::string path, ProfileApi& api);
  const std::string& Path() const noexcept { return path_; }

  std::string ReadSettingText(const std::string& section, const std::string& key, const std::string& defaultText);
  // Raises kSettingsWriteError "Unable to write to <path>" when the platform refuses the write.
  void WriteSettingText(const std::string& section, const std::string& key, const std::string& value);
  // As WriteSettingText, but a refused write gives false instead.
  bool TryWriteSettingText(const std::string& section, const std::string& key, const std::string& value);
  std::int32_t ReadSettingNumber(const std::string& section, const std::string& key, std::int32_t defaultValue);
  bool ReadSettingFlag(const std::string& section, const std::string& key, bool defaultValue);
  void WriteSettingFlag(const std::string& section, const std::string& key, bool flag);
  void ReadSectionKeys(const std::string& section, TStringList& list);
  void ReadSectionLines(const std::string& section, TStringList& list);

  // The same, for a key of the settings table, with the table's default.
  std::string ReadSettingText(const SettingKey& key);
  // With the key's marker as the default: a value equal to it means the key is not configured.
  std::string ReadSettingMarked(const SettingKey& key);
  bool ReadSettingFlag(const SettingKey& key);
  // nullopt when the file has no such key.
  std::optional<std::string> ReadSettingIfPresent(const SettingKey& key);
  // nullopt when the file has no such key or its value is no number.
  std::optional<bool> ReadSettingFlagIfPresent(const SettingKey& key);
  void WriteSettingText(const SettingKey& key, const std::string& value);
  void WriteSettingFlag(const SettingKey& key, bool flag);
  bool TryWriteSettingText(const SettingKey& key, const std::string& value);
  void ReadSectionKeys(const SettingKey& list, TStringList& names);
  void ReadSectionLines(const SettingKey& list, TStringList& lines);

  // A proxy set as the file has it: the script and auto-detect as they are, even where the switch
  // will not take them.
  ProxySet ReadProxySet(const ProxySetKeys& set);

 private:
  std::string path_;
  ProfileApi& api_;
};

}  // namespace kestel
