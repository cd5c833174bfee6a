// The administrative templates for Group Policy, kestel.admx and its en-US kestel.adml, written from
// the one list of settings: a key added to the list gets its policy, its texts and its control without
// another edit. Every function is constexpr, so that the build has the compiler write the files
// (settings/PolicyTemplates.cpp); Out is anything with Add(std::string_view).
#pragma once

#include <cstddef>
#include <string_view>

#include "settings/SettingsKeys.h"

namespace kestel::admx {

inline constexpr std::string_view kPolicyKey = "Software\\Policies\\Kestel";
inline constexpr std::string_view kSupportedOn = "SUPPORTED_Kestel_1_0";
inline constexpr std::string_view kRootCategory = "Kestel";
// The longest value Kestel reads; the text box's own default, 1023, would cut shorter.
inline constexpr std::string_view kMaxLength = "2047";

// User name and password never come from policy, so they get none.
constexpr bool HasPolicy(const SettingKey& key) {
  return !IsCredential(key);
}

// Policy and category names, string and presentation ids: the section, and the key's name after it.
constexpr bool IsIdName(std::string_view name) {
  for (const char c : name)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
  return !name.empty();
}
constexpr bool EveryNameMakesAnId() {
  for (const SettingKey* key : kSettingKeys)
    if (!IsIdName(key->section) || (key->kind != SettingKind::List && !IsIdName(key->name))) return false;
  return true;
}
static_assert(EveryNameMakesAnId(), "a section or key name that cannot be part of a policy's id");

template <class Out>
constexpr void Escaped(Out& out, std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::string_view c = text.substr(i, 1);
    out.Add(c == "&" ? "&amp;" : c == "<" ? "&lt;" : c == ">" ? "&gt;" : c == "\"" ? "&quot;" : c);
  }
}

template <class Out>
constexpr void Id(Out& out, const SettingKey& key) {
  out.Add(key.section);
  if (key.kind != SettingKind::List) {
    out.Add("_");
    out.Add(key.name);
  }
}

template <class Out>
constexpr void PolicyOf(Out& out, const SettingKey& key) {
  out.Add("    <policy name=\"");
  Id(out, key);
  out.Add("\" class=\"Both\" displayName=\"$(string.");
  Id(out, key);
  out.Add(")\" explainText=\"$(string.");
  Id(out, key);
  out.Add("_Help)\" key=\"");
  out.Add(kPolicyKey);
  out.Add("\\");
  out.Add(key.section);
  out.Add("\"");
  if (key.kind == SettingKind::Flag) {
    out.Add(" valueName=\"");
    out.Add(key.name);
    out.Add("\"");
  } else {
    out.Add(" presentation=\"$(presentation.");
    Id(out, key);
    out.Add(")\"");
  }
  out.Add(">\n      <parentCategory ref=\"Cat_");
  out.Add(key.section);
  out.Add("\" />\n      <supportedOn ref=\"");
  out.Add(kSupportedOn);
  out.Add("\" />\n");
  if (key.kind == SettingKind::Flag) {
    // Disabled writes 0, which wins over the file as 1 does.
    out.Add("      <enabledValue><decimal value=\"1\" /></enabledValue>\n");
    out.Add("      <disabledValue><decimal value=\"0\" /></disabledValue>\n");
  } else {
    out.Add("      <elements>\n        ");
    if (key.kind == SettingKind::Text) {
      out.Add("<text id=\"");
      Id(out, key);
      out.Add("\" valueName=\"");
      out.Add(key.name);
      out.Add("\" maxLength=\"");
      out.Add(kMaxLength);
      out.Add("\" />");
    } else {
      // Drives by their names (H:), programs by their numbers (1, 2, ...); a list replaces, never adds.
      out.Add("<list id=\"");
      Id(out, key);
      out.Add("\" key=\"");
      out.Add(kPolicyKey);
      out.Add("\\");
      out.Add(key.section);
      out.Add(key.list == ListOf::Drives ? "\" explicitValue=\"true\"" : "\" valuePrefix=\"\"");
      out.Add(" additive=\"false\" />");
    }
    out.Add("\n      </elements>\n");
  }
  out.Add("    </policy>\n");
}

template <class Out>
constexpr void WriteAdmx(Out& out) {
  out.Add(
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<!-- Written by the build from the list of settings: edit settings/SettingsKeys.h, not this file. -->\n"
      "<policyDefinitions xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" revision=\"1.0\" schemaVersion=\"1.0\" "
      "xmlns=\"http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions\">\n"
      "  <policyNamespaces>\n"
      "    <target prefix=\"kestel\" namespace=\"Kestel.Policies.Kestel\" />\n"
      "  </policyNamespaces>\n"
      "  <resources minRequiredRevision=\"1.0\" />\n"
      "  <supportedOn>\n    <definitions>\n      <definition name=\"");
  out.Add(kSupportedOn);
  out.Add("\" displayName=\"$(string.");
  out.Add(kSupportedOn);
  out.Add(")\" />\n    </definitions>\n  </supportedOn>\n  <categories>\n    <category name=\"");
  out.Add(kRootCategory);
  out.Add("\" displayName=\"$(string.");
  out.Add(kRootCategory);
  out.Add(")\" />\n");
  std::string_view section;
  for (const SettingKey* key : kSettingKeys) {
    if (key->section == section) continue;
    section = key->section;
    out.Add("    <category name=\"Cat_");
    out.Add(section);
    out.Add("\" displayName=\"$(string.Cat_");
    out.Add(section);
    out.Add(")\">\n      <parentCategory ref=\"");
    out.Add(kRootCategory);
    out.Add("\" />\n    </category>\n");
  }
  out.Add("  </categories>\n  <policies>\n");
  for (const SettingKey* key : kSettingKeys)
    if (HasPolicy(*key)) PolicyOf(out, *key);
  out.Add("  </policies>\n</policyDefinitions>\n");
}

// The explain text: what the policy writes, and what Enabled, Disabled and Not configured do.
template <class Out>
constexpr void Explain(Out& out, const SettingKey& key) {
  const bool list = key.kind == SettingKind::List;
  out.Add(list ? "Replaces the whole section [" : "Sets ");
  if (!list) {
    out.Add(key.name);
    out.Add(" in [");
  }
  out.Add(key.section);
  out.Add(
      "] of kestel.ini, for every user of the computer (Computer Configuration) or for the user (User "
      "Configuration). The computer's setting wins over the user's, and either over kestel.ini; Kestel never "
      "writes what policy sets into kestel.ini. What the setting does: the admin guide, section kestel.ini.\n\n");
  if (key.kind == SettingKind::Flag) {
    out.Add("Enabled: 1. Disabled: 0, whatever kestel.ini says. Not configured: kestel.ini decides; where it has no ");
    out.Add(key.name);
    out.Add(" either, ");
    if (!key.leavesWhenMissing) out.Add(key.flagDefault ? "1: " : "0: ");
    out.Add(key.defaultMeaning);
    out.Add(".");
    return;
  }
  if (list) {
    if (key.list == ListOf::Drives)
      out.Add(
          "Enabled: each entry is a drive and its share, the drive as the value name (H:) and the share as the value "
          "(\\\\server\\home\\%INTERNALUSERNAME%); Kestel maps them in the order of their names.");
    else
      out.Add(key.list == ListOf::Programs
                  ? "Enabled: each entry is a command line that Kestel runs at home, once every drive is mapped, one "
                    "after another in the order given."
                  : "Enabled: each entry is a command line that Kestel runs away from home, one after another in the "
                    "order given.");
    out.Add(
        " %NAME% is filled from the user's environment at logon, %INTERNALUSERNAME% with the user name of the run. "
        "The computer's list replaces the user's, and either replaces every line of the section in kestel.ini: lists "
        "never merge.\n\n");
  } else {
    out.Add("Enabled: the text below is the value; an empty text is an empty value");
    if (!key.marker.empty()) {
      out.Add(", and ");
      out.Add(key.marker);
      out.Add(" counts as not set");
    }
    out.Add(".");
    if (key.form == TextForm::Placeholders) out.Add(" %NAME% is filled from the user's environment at logon.");
    if (key.form == TextForm::WebAddress) out.Add(" An http:// or https:// address only; empty means none.");
    if (key.leavesWhenMissing) {
      out.Add(" Where neither policy nor kestel.ini sets it, ");
      out.Add(key.defaultMeaning);
      out.Add(".");
    }
    out.Add("\n\n");
  }
  out.Add("Disabled removes the ");
  out.Add(list ? "entries" : "value");
  out.Add(", and so acts as Not configured: kestel.ini decides.");
}

template <class Out>
constexpr void String(Out& out, std::string_view id, std::string_view suffix, std::string_view text) {
  out.Add("      <string id=\"");
  out.Add(id);
  out.Add(suffix);
  out.Add("\">");
  Escaped(out, text);
  out.Add("</string>\n");
}

// A text the Explain writer makes, escaped on its way to out.
template <class Out>
struct EscapingOut {
  Out& out;
  constexpr void Add(std::string_view text) { Escaped(out, text); }
};

template <class Out>
constexpr void WriteAdml(Out& out) {
  out.Add(
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<!-- Written by the build from the list of settings: edit settings/SettingsKeys.h, not this file. -->\n"
      "<policyDefinitionResources xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" revision=\"1.0\" schemaVersion=\"1.0\" "
      "xmlns=\"http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions\">\n"
      "  <displayName>Kestel</displayName>\n"
      "  <description>The settings of kestel.ini for a fleet: Kestel reads them over the file.</description>\n"
      "  <resources>\n    <stringTable>\n");
  String(out, kRootCategory, "", "Kestel");
  String(out, kSupportedOn, "", "Kestel 1.0 and later");
  std::string_view section;
  for (const SettingKey* key : kSettingKeys) {
    if (key->section == section) continue;
    section = key->section;
    out.Add("      <string id=\"Cat_");
    out.Add(section);
    out.Add("\">[");
    out.Add(section);
    out.Add("]</string>\n");
  }
  for (const SettingKey* key : kSettingKeys) {
    if (!HasPolicy(*key)) continue;
    out.Add("      <string id=\"");
    Id(out, *key);
    out.Add("\">");
    out.Add(key->kind == SettingKind::List ? key->section : key->name);
    out.Add("</string>\n      <string id=\"");
    Id(out, *key);
    out.Add("_Help\">");
    EscapingOut<Out> escaping{out};
    Explain(escaping, *key);
    out.Add("</string>\n");
  }
  out.Add("    </stringTable>\n    <presentationTable>\n");
  for (const SettingKey* key : kSettingKeys) {
    if (!HasPolicy(*key) || key->kind == SettingKind::Flag) continue;
    out.Add("      <presentation id=\"");
    Id(out, *key);
    out.Add("\">\n        ");
    if (key->kind == SettingKind::List) {
      out.Add("<listBox refId=\"");
      Id(out, *key);
      out.Add(key->list == ListOf::Drives ? "\">Drives and their shares</listBox>" : "\">Command lines</listBox>");
    } else {
      out.Add("<textBox refId=\"");
      Id(out, *key);
      out.Add("\">\n          <label>");
      out.Add(key->name);
      out.Add("</label>\n        </textBox>");
    }
    out.Add("\n      </presentation>\n");
  }
  out.Add("    </presentationTable>\n  </resources>\n</policyDefinitionResources>\n");
}

}  // namespace kestel::admx
