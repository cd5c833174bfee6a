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

#include "base/Utf.h"
#include "settings/PolicyWin32.h"

namespace kestel {
namespace {

HKEY const kOpened = reinterpret_cast<HKEY>(0x4711);

struct Answer {
  LSTATUS status;
  std::wstring name = {};
  DWORD type = REG_SZ;
  std::string data = {};
  DWORD needed = 0;  // ERROR_MORE_DATA: the size the call reports; 0 for a kilobyte more than was offered
};

class ScriptedRegistry final : public PolicyRegistryCalls {
 public:
  LSTATUS openResult = ERROR_SUCCESS;
  std::vector<Answer> answers;  // one per RegEnumValueW call, in order, then ERROR_NO_MORE_ITEMS
  std::string opened;           // "HKLM\path access"
  std::string calls;            // the index of each RegEnumValueW, and "close"
  std::size_t answered = 0;

  LSTATUS OpenKey(HKEY root, const wchar_t* path, REGSAM access, HKEY* key) override {
    const char* hive = root == HKEY_LOCAL_MACHINE ? "HKLM\\" : root == HKEY_CURRENT_USER ? "HKCU\\" : "?\\";
    opened = hive + Utf8(path) + " " + std::to_string(access);
    if (openResult == ERROR_SUCCESS) *key = kOpened;
    return openResult;
  }
  LSTATUS EnumValue(HKEY key, DWORD index, wchar_t* name, DWORD* nameChars, DWORD* type, BYTE* data,
                    DWORD* dataBytes) override {
    EXPECT_EQ(key, kOpened);
    calls += std::to_string(index) + " ";
    if (answered == answers.size()) return ERROR_NO_MORE_ITEMS;
    const Answer& answer = answers[answered++];
    if (answer.status == ERROR_MORE_DATA) *dataBytes = answer.needed != 0 ? answer.needed : *dataBytes + 1024;
    if (answer.status != ERROR_SUCCESS) return answer.status;
    EXPECT_GT(*nameChars, answer.name.size());
    EXPECT_GE(*dataBytes, answer.data.size()) << "asked with no room for the value";
    std::memcpy(name, answer.name.c_str(), (answer.name.size() + 1) * sizeof(wchar_t));
    *nameChars = static_cast<DWORD>(answer.name.size());
    *type = answer.type;
    std::memcpy(data, answer.data.data(), answer.data.size());
    *dataBytes = static_cast<DWORD>(answer.data.size());
    return ERROR_SUCCESS;
  }
  LSTATUS CloseKey(HKEY key) override {
    calls += key == kOpened ? "close " : "close of another key ";
    return ERROR_SUCCESS;
  }
};

struct Row {
  const char* name;
  LSTATUS openResult;
  std::vector<Answer> answers;
  // The calls after the open, then what was read: "ok", "missing" or "failed <error>", and each value's
  // "name type bytes".
  std::string outcome;
  friend void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }
};

const Row kRows[] = {
    {"NoKeySetsNothing", ERROR_FILE_NOT_FOUND, {}, "= missing"},
    {"AKeyThatRefusesIsTold", ERROR_ACCESS_DENIED, {}, "= failed " + std::to_string(ERROR_ACCESS_DENIED)},
    // The byte count is the value's own: a text stored without its terminator keeps its last letter. A
    // value that grew between being sized and being read is asked for again, with room for it.
    {"EveryValueAsStored",
     ERROR_SUCCESS,
     {{ERROR_SUCCESS, L"server", REG_SZ, std::string("h\0s\0", 4)},
      {ERROR_MORE_DATA, {}, REG_SZ, {}, 5000},
      {ERROR_SUCCESS, L"1", REG_SZ, std::string(5000, 'x')},
      {ERROR_SUCCESS, L"follow", REG_DWORD, std::string("\1\0\0\0", 4)}},
     "0 1 1 2 3 close = ok, server 1 4, 1 1 5000, follow 4 4"},
    {"AValueThatKeepsGrowingMakesTheKeyUnreadable", ERROR_SUCCESS, std::vector<Answer>(6, {ERROR_MORE_DATA}),
     "0 0 0 0 0 close = failed " + std::to_string(ERROR_MORE_DATA)},
    // A policy refresh may delete the key while it is read: half a list is no list.
    {"AKeyDeletedHalfwayIsUnreadableNotHalfRead",
     ERROR_SUCCESS,
     {{ERROR_SUCCESS, L"H:", REG_SZ, std::string("\\\0", 2)}, {ERROR_KEY_DELETED}},
     "0 1 close = failed " + std::to_string(ERROR_KEY_DELETED)},
};

class PolicyStoreCalls : public ::testing::TestWithParam<Row> {};

TEST_P(PolicyStoreCalls, ReadOnlyInTheSixtyFourBitViewAndClosedAgain) {
  const Row& row = GetParam();
  for (const PolicyScope scope : {PolicyScope::Machine, PolicyScope::User}) {
    ScriptedRegistry registry;
    registry.openResult = row.openResult;
    registry.answers = row.answers;
    const PolicyKey key = Win32PolicyStore(registry).ReadKey(scope, "mappings");

    EXPECT_EQ(registry.opened, std::string(scope == PolicyScope::Machine ? "HKLM" : "HKCU") +
                                   "\\Software\\Policies\\Kestel\\mappings " +
                                   std::to_string(KEY_QUERY_VALUE | KEY_WOW64_64KEY));
    std::string outcome = registry.calls + "= " +
                          (key.read == PolicyKey::Read::Ok        ? "ok"
                           : key.read == PolicyKey::Read::Missing ? "missing"
                                                                  : "failed " + std::to_string(key.error));
    for (const PolicyValue& value : key.values)
      outcome += ", " + value.name + " " + std::to_string(value.type) + " " + std::to_string(value.data.size());
    EXPECT_EQ(outcome, row.outcome);
  }
}

INSTANTIATE_TEST_SUITE_P(Policy, PolicyStoreCalls, ::testing::ValuesIn(kRows),
                         [](const auto& tested) { return std::string(tested.param.name); });

}  // namespace
}  // namespace kestel
