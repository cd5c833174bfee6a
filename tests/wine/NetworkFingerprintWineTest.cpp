// The network fingerprint against the prefix's own adapter list, while a test moves the laptop on a
// network of its own (tests/e2e/NetworkMoves.h): Wine lists the suite's namespace as it is now.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "../e2e/NetworkMoves.h"
#include "net/NetworkFingerprintWin32.h"

namespace kestel {
namespace {

using e2e::MovingNetwork;

struct MoveCase {
  const char* name;
  std::function<void(MovingNetwork&)> move;
  std::function<void(MovingNetwork&)> undo;
  const char* address;  // on the laptop's end of the link while moved; nullptr: seen neither way
  bool seen;            // whether the address is in the fingerprint while moved
};

TEST(TakeNetworkFingerprint, ChangesWithTheLaptopsAddressesAndComesBackWithThem) {
  if (!MovingNetwork::Available()) GTEST_SKIP() << "no test hosts: scripts/test.sh sets them up";
  MovingNetwork network;
  // Held, as a resident process holds it, for the looks while moved; the one-shot function for the
  // looks after: both must read the network alike.
  NetworkFingerprinter fingerprinter;
  const auto home = fingerprinter.Take();
  ASSERT_TRUE(home);
  EXPECT_NE(home->find("198.18.0.1/24"), std::string::npos) << *home;
  EXPECT_EQ(home->find("127.0.0.1"), std::string::npos) << "loopback is left out: " << *home;

  const MoveCase cases[] = {
      {"AddressTakenAway", &MovingNetwork::TakeAddressAway, &MovingNetwork::GiveAddressBack, "198.18.0.1/24", false},
      {"AddressAdded", [](auto& n) { n.AddAddress("198.18.0.77/24"); },
       [](auto& n) { n.RemoveAddress("198.18.0.77/24"); }, "198.18.0.77/24", true},
      {"IPv6AddressAdded", [](auto& n) { n.AddAddress("2001:db8:77::1/64"); },
       [](auto& n) { n.RemoveAddress("2001:db8:77::1/64"); }, "2001:db8:77::1/64", true},
      {"LoopbackAddressAdded", &MovingNetwork::AddLoopbackAddress, &MovingNetwork::RemoveLoopbackAddress, nullptr,
       false},
      // Both end with the address back, before they return.
      {"AddressAwayForTwoSeconds", [](auto& n) { n.TakeAddressAwayFor(std::chrono::seconds(2)); }, [](auto&) {},
       nullptr, false},
      {"AddressFlappingFiveTimes", [](auto& n) { n.FlapAddress(5, std::chrono::seconds(2)); }, [](auto&) {}, nullptr,
       false},
  };
  for (const MoveCase& c : cases) {
    SCOPED_TRACE(c.name);
    c.move(network);
    const auto moved = fingerprinter.Take();
    ASSERT_TRUE(moved);
    EXPECT_EQ(*moved != *home, c.address != nullptr) << *moved;
    if (c.address != nullptr) {
      EXPECT_EQ(moved->find(c.address) != std::string::npos, c.seen) << *moved;
    }
    c.undo(network);
    EXPECT_EQ(TakeNetworkFingerprint(), home);
  }
}

}  // namespace
}  // namespace kestel
