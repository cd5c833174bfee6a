// The probe against the prefix's own name lookup and echo service. The suite runs in a network
// namespace with only loopback up, so loopback answers and every other name or address is silent.
// clang-format off
#include <winsock2.h>
#include <windows.h>
// clang-format on

#include <gtest/gtest.h>

#include <string>

#include "net/PingUtil.h"

namespace kestel {
namespace {

// Under ".invalid", which no resolver may answer.
constexpr const char* kUnresolvable = "kestel-home-server.invalid";

TEST(PingHost, LoopbackAnswersByAddressAndByName) {
  for (const char* host : {"127.0.0.1", "localhost", "127.0.0.5"}) EXPECT_TRUE(PingHost(host)) << host;
}

TEST(PingHost, NamesThatDoNotResolveAreAway) {
  // Neither may be sent to this machine as 0.0.0.0 and come back as home.
  for (const char* host : {kUnresolvable, "", " ", "127.0.0.1 "}) EXPECT_FALSE(PingHost(host)) << '"' << host << '"';
}

TEST(PingHost, AnUnreachableAddressIsAway) {
  EXPECT_FALSE(PingHost("192.0.2.1"));
}

TEST(PingHost, CallsInARowAreIndependent) {
  EXPECT_TRUE(PingHost("127.0.0.1"));
  EXPECT_FALSE(PingHost(kUnresolvable));
  EXPECT_TRUE(PingHost("127.0.0.1"));
}

TEST(ResolveHost, WritesTheFirstAddressOrZeroes) {
  struct Case {
    const char* host;
    IPv4Address expected;
  };
  const Case cases[] = {
      {"127.0.0.1", {127, 0, 0, 1}},
      {"127.1.2.3", {127, 1, 2, 3}},
      {"localhost", {127, 0, 0, 1}},
      {kUnresolvable, {0, 0, 0, 0}},
      {"", {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    IPv4Address address = {9, 9, 9, 9};  // always overwritten, also when the name does not resolve
    ResolveHost(c.host, address);
    EXPECT_EQ(address, c.expected) << c.host;
  }
}

TEST(ResolveHost, ReleasesTheSocketLibraryEveryTime) {
  IPv4Address address{};
  ResolveHost("127.0.0.1", address);
  ResolveHost(kUnresolvable, address);
  // Each start-up was matched by its release, so one more release has nothing left to release.
  EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

}  // namespace
}  // namespace kestel
