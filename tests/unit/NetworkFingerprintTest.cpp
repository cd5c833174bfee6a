#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/NetworkFingerprint.h"

namespace kestel {
namespace {

// The whole text, so that anything that says where the laptop is (an adapter, an address or its
// prefix, a gateway, the DNS suffix) is seen to be in it, and the order the platform lists them in is not.
TEST(FingerprintText, ReadsAsOneCanonicalLine) {
  const struct {
    const char* name;
    std::vector<AdapterSnapshot> adapters;
    std::string text;
  } cases[] = {
      {"TwoAdaptersInAnyOrder",
       {{"wlan0", {"198.51.100.7/24"}, {"198.51.100.1"}, ""},
        {"eth0", {"2001:db8::5/64", "192.0.2.5/24"}, {"fe80::1", "192.0.2.1"}, "corp.example"}},
       "eth0 192.0.2.5/24 2001:db8::5/64 gw 192.0.2.1 fe80::1 dns corp.example; wlan0 198.51.100.7/24 gw 198.51.100.1"},
      {"NoAdapter", {}, "(no adapter up)"},
      {"UpWithNothingOnIt", {{"eth0", {}, {}, ""}}, "eth0"},
      {"IPv4BeforeIPv6AndEachOnce",
       {{"eth0", {"2001:db8::5/64", "192.0.2.9/24", "192.0.2.10/24", "192.0.2.9/24"}, {}, ""}},
       "eth0 192.0.2.10/24 192.0.2.9/24 2001:db8::5/64"},
      {"NamesThatWouldRunTogetherAreQuoted",
       {{"Wi-Fi 2", {"192.0.2.5/24"}, {}, "a;b"}, {"", {}, {}, ""}, {"say \"hi\"", {}, {}, ""}},
       "\"\"; \"Wi-Fi 2\" 192.0.2.5/24 dns \"a;b\"; \"say \"\"hi\"\"\""},
      {"ControlCharactersKeepItOneLine", {{"eth\n0\t", {}, {}, "x\r"}}, "eth?0? dns x?"},
  };
  for (const auto& c : cases) EXPECT_EQ(FingerprintText(c.adapters), c.text) << c.name;
}

}  // namespace
}  // namespace kestel
