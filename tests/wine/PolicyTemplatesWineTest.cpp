// The administrative templates the build wrote (kestel.admx, en-US/kestel.adml beside kestel.exe):
// every policy is read by Kestel where the policy engine would write it, every key but the credentials
// has one, and everything the ADMX names is in the ADML. Well-formedness is xmllint's
// (build.PolicyTemplatesAreWellFormed).
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "settings/Policy.h"
#include "tests/tools/LineLog.h"
#include "tests/unit/FakeProfile.h"
#include "tests/wine/TempFolder.h"

namespace kestel {
namespace {

using Attributes = std::map<std::string, std::string>;

// Each element of that name: its attributes and what it holds.
std::vector<std::pair<Attributes, std::string>> Elements(const std::string& text, const std::string& name) {
  static const std::regex attribute(R"re((\w+)="([^"]*)")re");
  const std::regex element("<" + name + R"re(\b([^>]*?)(/>|>([\s\S]*?)</)re" + name + ">)");
  std::vector<std::pair<Attributes, std::string>> found;
  for (std::sregex_iterator it(text.begin(), text.end(), element), end; it != end; ++it) {
    const std::string tag = (*it)[1];
    Attributes& attributes = found.emplace_back(Attributes{}, (*it)[3]).first;
    for (std::sregex_iterator a(tag.begin(), tag.end(), attribute); a != end; ++a) attributes[(*a)[1]] = (*a)[2];
  }
  return found;
}

// The ids of "$(kind.id)" references.
std::set<std::string> References(const std::string& text, const std::string& kind) {
  const std::regex reference(R"re(\$\()re" + kind + R"re(\.(\w+)\))re");
  std::set<std::string> found;
  for (std::sregex_iterator it(text.begin(), text.end(), reference), end; it != end; ++it) found.insert((*it)[1]);
  return found;
}

std::set<std::string> Ids(const std::string& text, const std::string& element, const char* attribute = "id") {
  std::set<std::string> found;
  for (const auto& [attributes, body] : Elements(text, element)) found.insert(attributes.at(attribute));
  return found;
}

// Each policy's value written where the engine writes it when the policy is enabled: Kestel must read
// every one of them, once, and then hold a setting for every key but the credentials.
TEST(PolicyTemplates, EveryKeyButTheCredentialsHasOneKestelReadsAndEverythingItNamesIsThere) {
  const std::string admx = testing::ReadWholeFile(testing::ToolsFolder() + "\\kestel.admx").value_or("");
  const std::string adml = testing::ReadWholeFile(testing::ToolsFolder() + "\\en-US\\kestel.adml").value_or("");
  const std::set<std::string> strings = Ids(adml, "string"), categories = Ids(admx, "category", "name"),
                              supported = Ids(admx, "definition", "name");
  for (const std::string& id : References(admx, "string")) EXPECT_TRUE(strings.contains(id)) << id;
  std::map<std::string, std::string> presentations;
  for (const auto& [attributes, body] : Elements(adml, "presentation")) presentations[attributes.at("id")] = body;

  const std::string root = "Software\\Policies\\Kestel\\";
  testing::FakePolicyStore store;
  const auto policies = Elements(admx, "policy");
  for (const auto& [policy, body] : policies) {
    SCOPED_TRACE(policy.at("name"));
    ASSERT_TRUE(policy.at("key").starts_with(root));
    EXPECT_EQ(policy.at("class"), "Both");
    for (const std::string& ref : Ids(body, "parentCategory", "ref")) EXPECT_TRUE(categories.contains(ref));
    for (const std::string& ref : Ids(body, "supportedOn", "ref")) EXPECT_TRUE(supported.contains(ref));
    const std::string section = policy.at("key").substr(root.size());
    const auto texts = Elements(body, "text");
    const auto lists = Elements(body, "list");
    if (body.find("<enabledValue><decimal value=\"1\" /></enabledValue>") != std::string::npos) {
      EXPECT_NE(body.find("<disabledValue><decimal value=\"0\" /></disabledValue>"), std::string::npos);
      store.Number(PolicyScope::Machine, section, policy.at("valueName"), 1);
    } else if (texts.size() == 1) {
      EXPECT_EQ(texts[0].first.at("maxLength"), "2047");
      store.Text(PolicyScope::Machine, section, texts[0].first.at("valueName"), "x");
    } else {
      ASSERT_EQ(lists.size(), 1u) << body;
      const Attributes& list = lists[0].first;
      EXPECT_EQ(list.at("key"), policy.at("key"));
      EXPECT_EQ(list.at("additive"), "false");
      // Explicit names are the drives; an empty prefix gives the names 1, 2, ...
      const bool drives = list.contains("explicitValue");
      EXPECT_TRUE(drives || (list.contains("valuePrefix") && list.at("valuePrefix").empty())) << "names Kestel skips";
      store.Text(PolicyScope::Machine, section, drives ? "H:" : "1", "x");
    }
    // Every element has its control in the policy's presentation, and every control its element.
    std::set<std::string> elements, controls;
    for (const auto& [unused, inside] : Elements(body, "elements"))
      for (const char* element : {"text", "list", "boolean", "decimal", "enum"})
        for (const std::string& id : Ids(inside, element)) elements.insert(id);
    for (const std::string& id :
         References(policy.contains("presentation") ? policy.at("presentation") : "", "presentation")) {
      ASSERT_TRUE(presentations.contains(id)) << id;
      for (const char* control : {"textBox", "listBox", "checkBox", "decimalTextBox", "dropdownList", "comboBox"})
        for (const std::string& ref : Ids(presentations[id], control, "refId")) controls.insert(ref);
    }
    EXPECT_EQ(controls, elements);
  }
  const Policy read = ReadPolicy(store);
  EXPECT_TRUE(read.findings.empty()) << DescribeFinding(read.findings.front());
  EXPECT_EQ(read.settings.size(), policies.size());
  for (const SettingKey* key : kSettingKeys) {
    const bool credential = key == &keys::kUserName || key == &keys::kPassword;
    EXPECT_EQ(read.Find(*key) != nullptr, !credential) << key->section << "\\" << key->name;
  }
}

}  // namespace
}  // namespace kestel
