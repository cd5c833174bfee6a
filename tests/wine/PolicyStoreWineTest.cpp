// The policy reader over a registry that answers as Windows documents RegOpenKeyExW and RegEnumValueW,
// where Wine forgives or never shows the case: an open that asks for more than reading (the policy
// keys refuse it to users), a value that grows between being sized and being read, a key deleted by a
// policy refresh halfway through. The real registry is read in the end-to-end tests.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "settings/PolicyWin32.h"

namespace kestel {
namespace {

HKEY const kOpened = reinterpret_cast<HKEY>(0x4711);

struct Answer {
  LSTATUS status;
  std::wstring name = {};
  DWORD type = REG_SZ;
  std::string data = {};
  DWORD needed = 0;  // ERROR_MORE_DATA: the size the call reports
};

class ScriptedRegistry final : public PolicyRegistryCalls {
 public:
  LSTATUS openResult = ERROR_SUCCESS;
  std::vector<Answer> answers;  // one per RegEnumValueW call, in order
  std::vector<std::wstring> opened;
  std::vector<REGSAM> access;
  std::vector<HKEY> roots, closed;
  std::vector<DWORD> indexes, offered;

  LSTATUS OpenKey(HKEY root, const wchar_t* path, REGSAM wanted, HKEY* key) override {
    roots.push_back(root);
    opened.emplace_back(path);
    access.push_back(wanted);
    if (openResult == ERROR_SUCCESS) *key = kOpened;
    return openResult;
  }
  LSTATUS EnumValue(HKEY key, DWORD index, wchar_t* name, DWORD* nameChars, DWORD* type, BYTE* data,
                    DWORD* dataBytes) override {
    EXPECT_EQ(key, kOpened);
    indexes.push_back(index);
    offered.push_back(*dataBytes);
    if (indexes.size() > answers.size()) return ERROR_NO_MORE_ITEMS;
    const Answer& answer = answers[indexes.size() - 1];
    if (answer.status == ERROR_MORE_DATA) *dataBytes = answer.needed;
    if (answer.status != ERROR_SUCCESS) return answer.status;
    EXPECT_GT(*nameChars, answer.name.size());
    EXPECT_GE(*dataBytes, answer.data.size());
    std::memcpy(name, answer.name.c_str(), (answer.name.size() + 1) * sizeof(wchar_t));
    *nameChars = static_cast<DWORD>(answer.name.size());
    *type = answer.type;
    std::memcpy(data, answer.data.data(), answer.data.size());
    *dataBytes = static_cast<DWORD>(answer.data.size());
    return ERROR_SUCCESS;
  }
  LSTATUS CloseKey(HKEY key) override {
    closed.push_back(key);
    return ERROR_SUCCESS;
  }
};

struct Row {
  const char* name;
  LSTATUS openResult;
  std::vector<Answer> answers;
  PolicyKey::Read read;
  std::uint32_t error;
  std::vector<std::string> values;  // "name type bytes"
  std::vector<DWORD> indexes;       // asked for, in order
  friend void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }
};

const std::string kBig(5000, 'x');

std::vector<Answer> Growing() {
  std::vector<Answer> answers;
  for (DWORD needed = 5000; needed < 11000; needed += 1000)
    answers.push_back({ERROR_MORE_DATA, {}, REG_SZ, {}, needed});
  return answers;
}

const Row kRows[] = {
    {"NoKeySetsNothing", ERROR_FILE_NOT_FOUND, {}, PolicyKey::Read::Missing, 0, {}, {}},
    {"AKeyThatRefusesIsTold", ERROR_ACCESS_DENIED, {}, PolicyKey::Read::Failed, ERROR_ACCESS_DENIED, {}, {}},
    // The byte count is the value's own: a text stored without its terminator keeps its last letter.
    {"EveryValueAsStored",
     ERROR_SUCCESS,
     {{ERROR_SUCCESS, L"server", REG_SZ, std::string("h\0s\0", 4)},
      {ERROR_SUCCESS, L"follow", REG_DWORD, std::string("\1\0\0\0", 4)}},
     PolicyKey::Read::Ok,
     0,
     {"server 1 4", "follow 4 4"},
     {0, 1, 2}},
    {"AValueThatGrewIsAskedForAgainWithRoomForIt",
     ERROR_SUCCESS,
     {{ERROR_MORE_DATA, {}, REG_SZ, {}, 5000}, {ERROR_SUCCESS, L"1", REG_SZ, kBig}},
     PolicyKey::Read::Ok,
     0,
     {"1 1 5000"},
     {0, 0, 1}},
    {"AValueThatKeepsGrowingMakesTheKeyUnreadable",
     ERROR_SUCCESS,
     Growing(),
     PolicyKey::Read::Failed,
     ERROR_MORE_DATA,
     {},
     {0, 0, 0, 0, 0}},
    // A policy refresh may delete the key while it is read: half a list is no list.
    {"AKeyDeletedHalfwayIsUnreadableNotHalfRead",
     ERROR_SUCCESS,
     {{ERROR_SUCCESS, L"H:", REG_SZ, std::string("\\\0", 2)}, {ERROR_KEY_DELETED}},
     PolicyKey::Read::Failed,
     ERROR_KEY_DELETED,
     {},
     {0, 1}},
};

class PolicyStoreCalls : public ::testing::TestWithParam<Row> {};

TEST_P(PolicyStoreCalls, ReadOnlyInTheSixtyFourBitViewAndClosedAgain) {
  const Row& row = GetParam();
  for (const PolicyScope scope : {PolicyScope::Machine, PolicyScope::User}) {
    ScriptedRegistry registry;
    registry.openResult = row.openResult;
    registry.answers = row.answers;
    const PolicyKey key = Win32PolicyStore(registry).ReadKey(scope, "mappings");

    ASSERT_EQ(registry.opened, std::vector<std::wstring>{L"Software\\Policies\\Kestel\\mappings"});
    EXPECT_EQ(registry.roots.front(), scope == PolicyScope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER);
    EXPECT_EQ(registry.access.front(), static_cast<REGSAM>(KEY_QUERY_VALUE | KEY_WOW64_64KEY));
    EXPECT_EQ(registry.closed, row.openResult == ERROR_SUCCESS ? std::vector<HKEY>{kOpened} : std::vector<HKEY>{});
    EXPECT_EQ(key.read, row.read);
    EXPECT_EQ(key.error, row.error);
    std::vector<std::string> values;
    for (const PolicyValue& value : key.values)
      values.push_back(value.name + " " + std::to_string(value.type) + " " + std::to_string(value.data.size()));
    EXPECT_EQ(values, row.values);
    EXPECT_EQ(registry.indexes, row.indexes);
    for (std::size_t i = 1; i < registry.offered.size() && i <= row.answers.size(); ++i) {
      if (row.answers[i - 1].status == ERROR_MORE_DATA) {
        EXPECT_GE(registry.offered[i], row.answers[i - 1].needed) << "asked again with no more room";
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Policy, PolicyStoreCalls, ::testing::ValuesIn(kRows),
                         [](const auto& tested) { return std::string(tested.param.name); });

}  // namespace
}  // namespace kestel
