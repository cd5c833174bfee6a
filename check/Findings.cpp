#include "check/Findings.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>
#include <span>

#include "base/AsciiText.h"
#include "base/Utf.h"
#include "check/LineScan.h"
#include "env/Placeholders.h"
#include "proxy/InternetSettings.h"
#include "settings/SettingsKeys.h"
#include "settings/StoredPassword.h"

namespace kestel::check {

namespace {

constexpr std::size_t kValueLimit = SettingsFile::kValueBufferSize - 1;
const std::string kNoServerStop = std::string("every run stops with the notice \"") + kNoServerNotice + "\"";
const std::string kNotFoundStop = std::string("Kestel stops with \"") + kNoSettingsFileNotice + "\"";

// A section of the settings table, with its keys in the table's order.
struct KnownSection {
  std::string_view name;
  ListOf list = ListOf::None;
  std::vector<const SettingKey*> keys;  // none for a list section
};

std::vector<KnownSection> KnownSectionsOf(std::span<const SettingKey* const> table) {
  std::vector<KnownSection> sections;
  for (const SettingKey* key : table) {
    if (sections.empty() || sections.back().name != key->section) sections.push_back({key->section, key->list, {}});
    if (key->kind != SettingKind::List) sections.back().keys.push_back(key);
  }
  return sections;
}

// Text from the file, made fit for one line of output: control bytes escaped, long texts shortened
// (never inside a letter).
std::string Shown(std::string_view text, std::size_t most = 60) {
  const bool shortened = text.size() > most;
  if (shortened) {
    std::size_t cut = most - 3;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text = text.substr(0, cut);
  }
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      out += c;
      continue;
    }
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
    out += escaped;
  }
  return shortened ? out + "..." : out;
}

std::string Quote(std::string_view text) {
  return std::string("\"") + Shown(text) + "\"";
}

// "[section]" of the key, as the messages name it.
std::string InSection(const SettingKey& key) {
  return "[" + std::string(key.section) + "]";
}

std::string Plural(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

const SettingKey* FindKnownKey(const KnownSection& section, std::string_view name) {
  for (const SettingKey* key : section.keys)
    if (AsciiNameEquals(key->name, name)) return key;
  return nullptr;
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      const bool same = AsciiNameEquals(a.substr(i - 1, 1), b.substr(j - 1, 1));
      row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The known name a misspelt one most likely meant: one or two letters off, fewer for short names.
template <typename Names, typename NameOf>
std::optional<std::string> Nearest(std::string_view name, const Names& names, NameOf nameOf) {
  if (name.size() > 40) return std::nullopt;
  std::optional<std::string> best;
  std::size_t bestDistance = name.size() < 5 ? 2 : 3;
  for (const auto& candidate : names) {
    const std::string_view candidateName = nameOf(candidate);
    const std::size_t distance = EditDistance(name, candidateName);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = std::string(candidateName);
    }
  }
  return best;
}

// The line that holds byte offset, counting line ends as the scan does.
std::size_t LineOfOffset(std::string_view content, std::size_t offset) {
  std::size_t line = 1;
  for (std::size_t i = 0; i < offset && i < content.size(); ++i)
    if (content[i] == '\n' || (content[i] == '\r' && (i + 1 >= content.size() || content[i + 1] != '\n'))) ++line;
  return line;
}

// Where a file that is not UTF-8 throughout stops being so, when it holds UTF-8 letters elsewhere:
// such a file was meant as UTF-8, and reads as the code page instead.
std::optional<std::size_t> BrokenUtf8(std::string_view content) {
  std::optional<std::size_t> broken;
  bool utf8Letters = false;
  for (std::size_t i = 0; i < content.size();) {
    const auto lead = static_cast<unsigned char>(content[i]);
    const std::size_t length = lead < 0x80                    ? 1
                               : lead >= 0xC2 && lead <= 0xDF ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length > 1 && IsValidUtf8(content.substr(i, length))) {
      utf8Letters = true;
      i += length;
      continue;
    }
    if (length != 1 && !broken) broken = i;
    ++i;
  }
  return utf8Letters ? broken : std::nullopt;
}

bool IsControlByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 && !(byte >= '\t' && byte <= '\r') && byte != 0x1A;
}

bool IsDevice(std::string_view name) {
  const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  if (name.size() == 2) return letter(name[0]) && name[1] == ':';
  return name.size() == 5 && AsciiNameEquals(name.substr(0, 3), "LPT") && name[3] >= '1' && name[3] <= '9' &&
         name[4] == ':';
}

// \\server\share, with or without a path after it.
bool IsUncPath(std::string_view target) {
  if (!target.starts_with("\\\\")) return false;
  const std::size_t serverEnd = target.find('\\', 2);
  return serverEnd != std::string_view::npos && serverEnd > 2 && serverEnd + 1 < target.size() &&
         target[serverEnd + 1] != '\\';
}

class Checker {
 public:
  Checker(const ScannedFile& file, SettingsFile* settings, const EnvironmentValueOf& environmentValueOf,
          const Policy* policy)
      : file_(file),
        settings_(settings),
        environmentValueOf_(environmentValueOf),
        policy_(policy),
        sections_(KnownSectionsOf(kSettingKeys)) {}

  std::vector<Finding> Run() {
    CheckLayout();
    for (const KnownSection& known : sections_) {
      const ScannedSection* section = FirstSection(known.name);
      if (known.list == ListOf::None)
        CheckValues(known, section);
      else
        CheckList(known, section);
    }
    if (!FromPolicy(keys::kServer)) CheckServer();
    if (!FromPolicy(keys::kAway.homePage)) CheckAwaySet();
    CheckPassword();
    return CheckPolicy();
  }

  // Where each value policy sets comes from: a note on the line it overrides, or on the file as a whole.
  // The findings so far, with these.
  std::vector<Finding> CheckPolicy() {
    if (policy_ == nullptr) return std::move(findings_);
    for (const PolicySetting& setting : policy_->settings) {
      const SettingKey& key = *setting.key;
      const std::string by = std::string(ScopeName(setting.scope)) + " policy " +
                             PolicyPath(setting.scope, key.section, key.kind == SettingKind::List ? "" : key.name);
      const ScannedSection* section = FirstSection(key.section);
      if (key.kind == SettingKind::List) {
        std::string entries = Plural(setting.entries.size(), "entry", "entries");
        for (std::size_t i = 0; i < setting.entries.size(); ++i)
          entries += (i == 0 ? ": " : ", ") + Shown(setting.entries[i].first, 20);
        const std::string name = "[" + std::string(key.section) + "]";
        if (section != nullptr && !section->keys.empty())
          Add(section->line, Severity::Note,
              name + " is replaced by the list of " + by + " (" + Shown(entries, 200) +
                  "): Kestel never reads the lines of this section");
        else
          Add(0, Severity::Note, name + " comes from " + by + " (" + Shown(entries, 200) + ")");
        continue;
      }
      const std::string value = key.kind == SettingKind::Flag ? setting.value : Quote(setting.value);
      if (const ScannedKey* line = FirstKey(section, key.name))
        Add(line->line, Severity::Note,
            std::string(key.name) + " here is overridden by " + by + ": Kestel uses " + value);
      else
        Add(0, Severity::Note, std::string(key.name) + " comes from " + by + ": " + value);
    }
    for (const PolicyFinding& finding : policy_->findings)
      Add(0, Severity::Warning, Shown(DescribeFinding(finding), 400));
    return std::move(findings_);
  }

 private:
  const KnownSection* FindKnownSection(std::string_view name) const {
    for (const KnownSection& known : sections_)
      if (AsciiNameEquals(known.name, name)) return &known;
    return nullptr;
  }

  void Add(std::size_t line, Severity severity, std::string text) {
    findings_.push_back({line, severity, std::move(text)});
  }

  const ScannedSection* FirstSection(std::string_view name) const {
    for (std::size_t i = 1; i < file_.sections.size(); ++i)
      if (AsciiNameEquals(file_.sections[i].name, name)) return &file_.sections[i];
    return nullptr;
  }

  // The first line of that name, with or without "=": the one the reader finds.
  static const ScannedKey* FirstKey(const ScannedSection* section, std::string_view name) {
    if (section == nullptr) return nullptr;
    for (const ScannedKey& key : section->keys)
      if (AsciiNameEquals(key.name, name)) return &key;
    return nullptr;
  }

  static std::size_t LineOf(const ScannedKey* key, const ScannedSection* section) {
    return key != nullptr ? key->line : section != nullptr ? section->line : 0;
  }

  void CheckLayout() {
    for (const ScannedKey& key : file_.sections.front().keys)
      Add(key.line, Severity::Warning, Quote(key.name) + " stands before the first section: Kestel never reads it");
    for (const std::size_t line : file_.unclosedHeaders) {
      std::string owner = "before the first section, where Kestel never reads them";
      for (const ScannedSection& section : file_.sections)
        if (section.line != 0 && section.line < line) owner = std::string("in [") + Shown(section.name) + "]";
      Add(line, Severity::Warning,
          "no \"]\" closes this section header: Kestel skips the line, and the keys after it stay " + owner);
    }
    for (std::size_t i = 1; i < file_.sections.size(); ++i) {
      const ScannedSection& section = file_.sections[i];
      const std::string name = std::string("[") + Shown(section.name) + "]";
      if (section.repeats) {
        Add(section.line, Severity::Warning,
            name + " again (first on line " + std::to_string(*section.repeats) +
                "): Kestel reads only the first, so the keys under this one are never read");
      } else if (section.name.empty()) {
        Add(section.line, Severity::Warning, "a section without a name: Kestel never reads the keys under it");
      } else if (const KnownSection* known = FindKnownSection(section.name)) {
        CheckKeyLines(*known, section);
      } else {
        const auto nearest = Nearest(section.name, sections_, [](const KnownSection& s) { return s.name; });
        Add(section.line, Severity::Warning,
            "Kestel never reads section " + name + (nearest ? "; did you mean [" + *nearest + "]?" : ""));
      }
    }
  }

  // Lines without "=", names Kestel does not read, and names that occur again.
  void CheckKeyLines(const KnownSection& known, const ScannedSection& section) {
    for (std::size_t i = 0; i < section.keys.size(); ++i) {
      const ScannedKey& key = section.keys[i];
      const ScannedKey& first = section.keys[key.first];
      if (!key.value) {
        if (key.first != i) continue;
        std::string text = Quote(key.name) + " has no \"=\": it is no setting, and Kestel reads nothing from it";
        if (key.hides)
          text += std::string("; it also hides the line ") + std::to_string(*key.hides) +
                  " of the same name, whose value Kestel never reads";
        Add(key.line, Severity::Warning, text);
        continue;
      }
      if (key.first != i) {
        if (first.value) Add(key.line, Severity::Warning, DuplicateText(known, key, first));
        continue;
      }
      if (known.list != ListOf::None || FindKnownKey(known, key.name)) continue;
      std::string text = "Kestel never reads " + Quote(key.name) + " in [" + std::string(known.name) + "]";
      const KnownSection* home = nullptr;
      for (const KnownSection& other : sections_)
        if (FindKnownKey(other, key.name)) home = &other;
      if (home != nullptr)
        text += "; it belongs in [" + std::string(home->name) + "]";
      else if (const auto nearest = Nearest(key.name, known.keys, [](const SettingKey* k) { return k->name; }))
        text += "; did you mean " + *nearest + "?";
      Add(key.line, Severity::Warning, text);
    }
  }

  static std::string DuplicateText(const KnownSection& known, const ScannedKey& key, const ScannedKey& first) {
    std::string text =
        Quote(key.name) + " again (first on line " + std::to_string(first.line) + "): only the first counts";
    if (known.list == ListOf::Drives)
      return text + ", and Kestel maps " + Shown(key.name) + " twice, both times to the first one's target";
    if (known.list != ListOf::None)
      return text + ", and Kestel runs the first one's command line twice, never this one";
    return text;
  }

  void CheckValues(const KnownSection& known, const ScannedSection* section) {
    for (const SettingKey* wanted : known.keys) {
      const std::optional<std::string> present = settings_->ReadSettingIfPresent(*wanted);
      if (!present) continue;
      const std::string& read = *present;
      const ScannedKey* key = FirstKey(section, wanted->name);
      const std::size_t line = LineOf(key, section);
      const std::string shown = read.empty() ? std::string("empty") : Quote(read);
      if (wanted->kind == SettingKind::Flag && !ParseSettingNumber(read)) {
        const std::string reading = wanted->leavesWhenMissing
                                        ? "as missing: " + std::string(wanted->defaultMeaning)
                                        : "as its default, " + std::string(wanted->flagDefault ? "1" : "0") + " (" +
                                              std::string(wanted->defaultMeaning) + ")";
        Add(line, Severity::Warning,
            std::string(wanted->name) + " is " + shown + ", not a number: Kestel reads it " + reading +
                "; write 1 or 0");
      }
      CheckLength(key, read);
      if (wanted->form == TextForm::Placeholders) CheckPlaceholders(line, read, false);
      if (wanted->form == TextForm::WebAddress && !read.empty() && !IsScriptAddress(read))
        Add(line, Severity::Warning,
            std::string(wanted->name) + " is " + shown +
                ", not an http:// or https:// address: Kestel does not apply it (" +
                std::string(wanted->defaultMeaning) + ") and says so in the run record");
    }
  }

  void CheckLength(const ScannedKey* key, const std::string& read) {
    if (key == nullptr || !key->value || read.size() < kValueLimit) return;
    const std::string_view whole = Unquoted(*key->value);
    if (whole.size() <= kValueLimit) return;
    Add(key->line, Severity::Warning,
        std::string("the value of ") + Quote(key->name) + " is " + std::to_string(whole.size()) +
            " characters long: Kestel reads only the first " + std::to_string(kValueLimit) + ", up to \"..." +
            Shown(std::string_view(read).substr(read.size() - 20)) + "\", and drops the rest, " +
            Quote(whole.substr(kValueLimit)));
  }

  // Placeholders as the expansion will see them: names in the order the expansion looks them up.
  void CheckPlaceholders(std::size_t line, const std::string& value, bool away) {
    std::vector<std::size_t> percents;
    for (std::size_t i = 0; i < value.size(); ++i)
      if (value[i] == '%') percents.push_back(i);
    std::vector<std::string> names;
    ExpandPlaceholders(value, [&](const std::string& name) {
      names.push_back(name);
      return std::string();
    });

    std::set<std::string> told;
    for (std::size_t k = 0; k < names.size() && 2 * k + 1 < percents.size(); ++k) {
      const std::string& name = names[k];
      const std::string_view raw =
          std::string_view(value).substr(percents[2 * k], percents[2 * k + 1] - percents[2 * k] + 1);
      const std::string looked = LookupPlaceholder(name, kUserName, environmentValueOf_);
      if (name.empty()) {
        Add(line, Severity::Warning,
            Quote(raw) + " is not a percent sign: Kestel reads it as a placeholder with an empty name, which gives " +
                (looked.empty() ? std::string("nothing") : Quote(looked)) +
                " in the checker's environment; there is no way to write a literal \"%\"");
      } else if (looked == kUserName) {
        if (away)
          Add(line, Severity::Warning,
              Quote(raw) + " gives nothing in [" + std::string(keys::kAwayPrograms.section) +
                  "]: away from home Kestel never reads the user name");
      } else if (looked.empty() && told.insert(name).second) {
        Add(line, Severity::Note,
            Quote(raw) + " gives nothing: " + Shown(name) +
                " is not set in the checker's environment (the user's environment at logon may differ)");
      }
    }
    if (percents.size() % 2 == 1)
      Add(line, Severity::Warning,
          Quote(std::string_view(value).substr(percents.back())) +
              " opens a placeholder that never closes: Kestel drops it, from the \"%\" to the end of the value");
  }

  // What Kestel lists and reads, lined up with the lines the scan found in the same order.
  void CheckList(const KnownSection& known, const ScannedSection* section) {
    TStringList names, lines;
    settings_->ReadSectionKeys(std::string(known.name), names);
    settings_->ReadSectionLines(std::string(known.name), lines);
    if (section == nullptr) return;
    std::vector<const ScannedKey*> listed;
    for (const ScannedKey& key : section->keys)
      if (key.value) listed.push_back(&key);

    const std::string name = "[" + std::string(known.name) + "]";
    std::size_t i = 0;
    for (; i < names.size() && i < listed.size() && i < lines.size(); ++i) {
      const ScannedKey& key = *listed[i];
      if (AsciiNameEquals(names[i], key.name)) {
        // Both lists are built from the same reads: entry i of lines begins with name i and "=".
        CheckListEntry(known, *section, key, names[i], lines[i].substr(std::min(lines[i].size(), names[i].size() + 1)));
        continue;
      }
      if (i + 1 == names.size() && AsciiNameEquals(names[i], std::string_view(key.name).substr(0, names[i].size()))) {
        Add(key.line, Severity::Warning,
            "the key names of " + name + " fill the platform's list of 16,384 bytes here: Kestel reads " +
                Quote(key.name) + " cut short to " + Quote(names[i]));
        ++i;
        break;
      }
      return Disagree(key.line, name);
    }
    if (i >= listed.size() || i < names.size()) return;
    const ScannedKey& next = *listed[i];
    std::size_t listBytes = 1;
    for (const std::string& listedName : names) listBytes += listedName.size() + 1;
    if (!next.name.empty() && listBytes + next.name.size() + 1 < SettingsFile::kSectionBufferSize)
      return Disagree(next.line, name);
    const std::size_t after = listed.size() - i - 1;
    const std::string rest = after == 0 ? ""
                                        : std::string(" or the ") + Plural(after, "key", "keys") +
                                              " after it, up to line " + std::to_string(listed.back()->line);
    if (next.name.empty())
      Add(next.line, Severity::Warning,
          "a key without a name ends the key list of " + name + ": Kestel never reads this line" + rest);
    else
      Add(next.line, Severity::Warning,
          "the key names of " + name + " overflow the platform's list of 16,384 bytes: Kestel never reads this key" +
              rest);
  }

  // The line scan has to follow the platform's reader; where it does not, it says so rather than guess.
  void Disagree(std::size_t line, const std::string& section) {
    Add(line, Severity::Note,
        "the platform lists the keys of " + section +
            " otherwise than the checker's line scan from here on: findings about them stop here");
  }

  void CheckListEntry(const KnownSection& known, const ScannedSection& section, const ScannedKey& key,
                      const std::string& name, const std::string& value) {
    // A name that occurs again, or follows a line of the same name without "=", reads another line's value.
    if (&section.keys[key.first] != &key) return;
    const bool away = known.list == ListOf::AwayPrograms;
    if (known.list == ListOf::Drives) {
      if (!IsDevice(name)) {
        const bool letter =
            name.size() == 1 && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
        Add(key.line, Severity::Warning,
            std::string("mapping ") + Quote(name) + " is not a drive: its connection will fail" +
                (letter ? "; write " + name + ":" : std::string("; name a drive letter and colon, such as H:")));
      }
      if (!value.starts_with("%") && !IsUncPath(value))
        Add(key.line, Severity::Warning,
            std::string("the target of ") + Shown(name) + " is " +
                (value.empty() ? std::string("empty") : Quote(value)) +
                ", not a UNC path (\\\\server\\share): its connection will fail");
    }
    CheckPlaceholders(key.line, value, away);
    CheckLength(&key, value);
  }

  void CheckServer() {
    const SettingKey& wanted = keys::kServer;
    const std::string server = settings_->ReadSettingMarked(wanted);
    const ScannedSection* section = FirstSection(wanted.section);
    const ScannedKey* key = FirstKey(section, wanted.name);
    if (server == wanted.marker) {
      std::string why = "the platform's reader finds no server in this file";
      if (key == nullptr)
        why = section == nullptr ? "no " + InSection(wanted) + " section"
                                 : "no " + std::string(wanted.name) + "= in " + InSection(wanted);
      else if (!key->value)
        why = "no server, as this line has no \"=\"";
      else if (Unquoted(*key->value) == wanted.marker)
        why = std::string(wanted.name) + "=" + std::string(wanted.marker) + " counts as no server";
      Add(LineOf(key, section), Severity::Error, why + ": " + kNoServerStop);
    } else if (server.empty()) {
      Add(LineOf(key, section), Severity::Warning,
          std::string(wanted.name) + " is empty: the probe has no host to ask, so every run is away");
    }
  }

  void CheckAwaySet() {
    const SettingKey& wanted = keys::kAway.homePage;
    if (settings_->ReadSettingMarked(wanted) != wanted.marker) return;
    const ScannedSection* section = FirstSection(wanted.section);
    const ScannedKey* key = FirstKey(section, wanted.name);
    std::string kept;
    for (const SettingKey* other : kSettingKeys)
      if (other->section == wanted.section && FromPolicy(*other))
        kept += (kept.empty() ? "" : ", ") + std::string(other->name);
    Add(LineOf(key, section), Severity::Note,
        (key != nullptr && key->value
             ? std::string(wanted.name) + "=" + std::string(wanted.marker) + " counts as missing"
             : "no " + std::string(wanted.name) + " in " + InSection(wanted)) +
            ": the next run captures the user's proxy settings and start page as the away set and writes them into "
            "this file" +
            (kept.empty() ? "" : ", all but " + kept + ", which policy sets"));
  }

  void CheckPassword() {
    const SettingKey& wanted = keys::kPassword;
    const std::string password = settings_->ReadSettingMarked(wanted);
    if (password == wanted.marker || password.empty()) return;
    const ScannedSection* section = FirstSection(wanted.section);
    const std::size_t line = LineOf(FirstKey(section, wanted.name), section);
    if (password.starts_with(kProtectedPrefix)) {
      Add(line, Severity::Note,
          "the password is stored protected for the user who saved it: nobody else can read it, and any other "
          "user given this file is asked for a password at logon");
    } else if (settings_->ReadSettingFlag(keys::kProtectPassword)) {
      Add(line, Severity::Note,
          "the password is stored in plain text: the next run at home that maps every drive stores it protected");
    } else {
      Add(line, Severity::Note,
          "the password is stored in plain text, readable by anyone who can read this file; " +
              std::string(keys::kProtectPassword.name) + "=1 in " + InSection(keys::kProtectPassword) +
              " has the next run at home store it protected for its user");
    }
  }

  static constexpr const char* kUserName = "\x01user name";

  bool FromPolicy(const SettingKey& key) const { return policy_ != nullptr && policy_->Find(key) != nullptr; }

  const ScannedFile& file_;
  SettingsFile* settings_;  // null: no file, policy only
  const EnvironmentValueOf& environmentValueOf_;
  const Policy* policy_;
  const std::vector<KnownSection> sections_;
  std::vector<Finding> findings_;
};

}  // namespace

std::vector<Finding> CheckSettings(std::string_view content, const AnsiCodePage& codePage, SettingsFile& settings,
                                   const EnvironmentValueOf& environmentValueOf, const Policy* policy) {
  if (content.starts_with("\xFE\xFF"))
    return {{0, Severity::Error,
             "a UTF-16 big-endian file (it begins with FE FF): Kestel reads no setting from it and never writes to "
             "it; save it as UTF-8, or as UTF-16 little-endian"}};
  std::vector<Finding> findings;
  const DecodedSettings decoded = DecodeSettings(content, codePage);
  if (decoded.encoding == TextEncoding::Ansi) {
    if (const auto broken = BrokenUtf8(content))
      findings.push_back({LineOfOffset(content, *broken), Severity::Warning,
                          "the file holds UTF-8 letters but is not valid UTF-8 here, so Kestel reads the whole file "
                          "as code page " +
                              std::to_string(codePage.Number()) +
                              ": every letter outside ASCII in it reads as other letters; save it as UTF-8 "
                              "throughout"});
  }
  const std::string_view text = decoded.text;
  if (const std::size_t zero = text.find('\0'); zero != std::string_view::npos)
    return {{LineOfOffset(text, zero), Severity::Error,
             "a zero byte: Kestel refuses to write to a file that holds one, so a run that captures the away set or "
             "saves typed credentials ends in the \"Unable to write to\" error box; the checker reads no further"}};
  if (const auto control = std::find_if(text.begin(), text.end(), IsControlByte); control != text.end()) {
    char message[96];
    std::snprintf(message, sizeof message,
                  "a control byte (0x%02X): this is not a text file; the checker reads no further",
                  static_cast<unsigned char>(*control));
    return {{LineOfOffset(text, static_cast<std::size_t>(control - text.begin())), Severity::Error, message}};
  }
  const ScannedFile file = ScanSettings(text);
  std::vector<Finding> checked = Checker(file, &settings, environmentValueOf, policy).Run();
  findings.insert(findings.end(), checked.begin(), checked.end());
  return findings;
}

Finding UnreadableFile(Unreadable why, const std::string& reason) {
  switch (why) {
    case Unreadable::Missing:
      return {0, Severity::Error, std::string("no such file: ") + kNotFoundStop};
    case Unreadable::Directory:
      return {0, Severity::Error, std::string("a directory, not a file: ") + kNotFoundStop};
    case Unreadable::Refused:
      break;
  }
  return {0, Severity::Error,
          "cannot read the file" + (reason.empty() ? std::string() : std::string(": ") + Shown(reason, 200))};
}

std::vector<Finding> CheckUnreadable(Unreadable why, const std::string& reason, const Policy& policy) {
  std::vector<Finding> findings;
  if (const PolicySetting* server = policy.Find(keys::kServer); server != nullptr && why == Unreadable::Missing)
    findings.push_back({0, Severity::Note,
                        std::string("no such file, but ") + ScopeName(server->scope) + " policy names the server (" +
                            PolicyPath(server->scope, keys::kServer.section, keys::kServer.name) +
                            "): Kestel runs without it, and the first thing a run stores (the captured away set, "
                            "typed credentials) creates it"});
  else
    findings.push_back(UnreadableFile(why, reason));
  const ScannedFile none = ScanSettings({});
  const EnvironmentValueOf noEnvironment;
  std::vector<Finding> fromPolicy = Checker(none, nullptr, noEnvironment, &policy).CheckPolicy();
  findings.insert(findings.end(), fromPolicy.begin(), fromPolicy.end());
  return findings;
}

std::string FormatReport(const std::string& path, std::vector<Finding> findings) {
  std::stable_sort(findings.begin(), findings.end(), [](const Finding& a, const Finding& b) {
    return a.line != b.line ? a.line < b.line : a.severity > b.severity;
  });
  std::size_t counts[3] = {};
  std::string report;
  for (const Finding& finding : findings) {
    const auto severity = static_cast<std::size_t>(finding.severity);
    ++counts[severity];
    static constexpr const char* kSeverity[] = {"note", "warning", "error"};
    report += path + ":" + std::to_string(finding.line) + ": " + kSeverity[severity] + ": " + finding.text + "\n";
  }
  return report + "checked " + path + ": " + Plural(counts[2], "error", "errors") + ", " +
         Plural(counts[1], "warning", "warnings") + ", " + Plural(counts[0], "note", "notes") + "\n";
}

int ExitCode(const std::vector<Finding>& findings) {
  int code = 0;
  for (const Finding& finding : findings)
    code = std::max(code, finding.severity == Severity::Error ? 2 : finding.severity == Severity::Warning ? 1 : 0);
  return code;
}

}  // namespace kestel::check
