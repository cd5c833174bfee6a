#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/NetworkFingerprint.h"

namespace kestel {
namespace {

const AdapterSnapshot kWired{"eth0", {"192.0.2.5/24", "2001:db8::5/64"}, {"192.0.2.1", "fe80::1"}, "corp.example"};
const AdapterSnapshot kWireless{"wlan0", {"198.51.100.7/24"}, {"198.51.100.1"}, ""};

struct TextCase {
  const char* name;
  std::vector<AdapterSnapshot> adapters;
  std::string text;
};

TEST(FingerprintText, ReadsAsOneCanonicalLine) {
  const TextCase cases[] = {
      {"TwoAdapters",
       {kWireless, kWired},
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
  for (const TextCase& c : cases) EXPECT_EQ(FingerprintText(c.adapters), c.text) << c.name;
}

// Each of these is a move: the text must differ from the one before it. The order the platform lists
// things in is none.
TEST(FingerprintText, ChangesWithAnythingThatSaysWhereTheLaptopIs) {
  const AdapterSnapshot reordered{"eth0", {"2001:db8::5/64", "192.0.2.5/24"}, {"fe80::1", "192.0.2.1"}, "corp.example"};
  const auto changed = [](auto change) {
    AdapterSnapshot adapter = kWired;
    change(adapter);
    return FingerprintText({adapter, kWireless});
  };
  const std::string before = FingerprintText({kWired, kWireless});
  const std::string after[] = {
      changed([](AdapterSnapshot& a) { a.addresses.pop_back(); }),
      changed([](AdapterSnapshot& a) { a.addresses[0] = "192.0.2.5/16"; }),
      changed([](AdapterSnapshot& a) { a.gateways = {"192.0.2.1"}; }),
      changed([](AdapterSnapshot& a) { a.dnsSuffix = "hotel.example"; }),
      changed([](AdapterSnapshot& a) { a.name = "eth1"; }),
      FingerprintText({kWired}),
  };
  for (const auto& text : after) EXPECT_NE(text, before);
  EXPECT_EQ(FingerprintText({kWireless, reordered}), before);
}

}  // namespace
}  // namespace kestel
