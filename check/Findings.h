// What Kestel will make of a settings file, told as findings in the form compilers use. What Kestel
// reads comes from the product's own modules (the settings file over kestel.ini's own reader, the
// number rules, the placeholder expansion); the line scan adds where each thing stands.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/IniFile.h"
#include "settings/Policy.h"
#include "settings/SettingsFile.h"

namespace kestel::check {

enum class Severity { Note, Warning, Error };

struct Finding {
  std::size_t line = 0;  // 1-based; 0 for the file as a whole
  Severity severity = Severity::Note;
  std::string text;  // one line, no control bytes
};

// The value of an environment variable, empty when it is not set, as the run's snapshot gives it.
using EnvironmentValueOf = std::function<std::string(const std::string& name)>;

// content is the file's bytes, decoded as Kestel's reader does with codePage; settings reads the same
// file through that reader. With the policy in force (null: the file alone), a line policy overrides
// gets a note naming the policy's key, and each policy value Kestel leaves aside a warning.
std::vector<Finding> CheckSettings(std::string_view content, const AnsiCodePage& codePage, SettingsFile& settings,
                                   const EnvironmentValueOf& environmentValueOf, const Policy* policy = nullptr);

enum class Unreadable { Missing, Directory, Refused };
// The one finding for a file that cannot be read at all; reason is the system's text, if any.
Finding UnreadableFile(Unreadable why, const std::string& reason);
// The same with the policy in force: a missing file is a note where policy names the server, and what
// policy sets follows.
std::vector<Finding> CheckUnreadable(Unreadable why, const std::string& reason, const Policy& policy);

// One "PATH:LINE: severity: text" line per finding, in line order, then the summary; each line ends
// in "\n".
std::string FormatReport(const std::string& path, std::vector<Finding> findings);
// 2 with an error, 1 with a warning, else 0.
int ExitCode(const std::vector<Finding>& findings);

}  // namespace kestel::check
