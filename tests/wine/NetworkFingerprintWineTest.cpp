// The network fingerprint against the prefix's own adapter list, while a test moves the laptop on a
// network of its own (tests/e2e/NetworkMoves.h): Wine lists the suite's namespace as it is now.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "../e2e/NetworkMoves.h"
#include "net/NetworkFingerprintWin32.h"

namespace kestel {
namespace {

using e2e::MovingNetwork;

TEST(NetworkFingerprinter, ChangesWithTheLaptopsAddressesAndComesBackWithThem) {
  if (!MovingNetwork::Available()) GTEST_SKIP() << "no test hosts: scripts/test.sh sets them up";
  MovingNetwork network;
  // Held, as a resident process holds it, for the looks while moved; a fresh one for the looks
  // after: both must read the network alike.
  NetworkFingerprinter fingerprinter;
  const auto home = fingerprinter.Take();
  ASSERT_TRUE(home);
  EXPECT_NE(home->find("198.18.0.1/24"), std::string::npos) << *home;
  EXPECT_EQ(home->find("127.0.0.1"), std::string::npos) << "loopback is left out: " << *home;

  // The laptop's address taken away, or another added, and each put back as it was.
  const std::pair<const char*, bool> moves[] = {
      {"198.18.0.1/24", false}, {"198.18.0.77/24", true}, {"2001:db8:77::1/64", true}};
  for (const auto& [cidr, added] : moves) {
    SCOPED_TRACE(cidr);
    added ? network.AddAddress(cidr) : network.RemoveAddress(cidr);
    const auto moved = fingerprinter.Take();
    ASSERT_TRUE(moved);
    EXPECT_NE(*moved, *home);
    EXPECT_EQ(moved->find(cidr) != std::string::npos, added) << *moved;
    added ? network.RemoveAddress(cidr) : network.AddAddress(cidr);
    EXPECT_EQ(NetworkFingerprinter().Take(), home);
  }
}

}  // namespace
}  // namespace kestel
