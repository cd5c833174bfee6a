// Moving the laptop from a test, as carrying it elsewhere would: what the laptop itself sees change is
// its address. A test opens a network of its own (scripts/test-hosts.sh, "the moving network"), a
// link with the laptop's address on one end and a home server on the other, moves it while kestel.exe
// runs, and closes it at its end. The shared test hosts are never moved.
// Every program of the suite's Wine prefix sees a move, so the tests that move take turns with those
// that run kestel.exe: every end-to-end test holds the ctest lock kestel_user_session, and module
// tests that move are listed among the suites that hold it (cmake/WineTests.cmake).
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace kestel::e2e {

class MovingNetwork {
 public:
  // The laptop's address on the link (prefix length 24), and its home server, which answers echo at
  // once while the laptop holds its address and cannot be reached while it does not.
  static constexpr const char* kLaptopAddress = "198.18.0.1";
  static constexpr const char* kHomeServer = "198.18.0.2";

  // Whether scripts/test.sh set up the suite's test hosts; a test binary run on its own has none.
  static bool Available();

  // Opens the link, with the laptop's address on it; the close undoes every move, also when the test
  // failed, and a close that fails fails the test. Every call returns once its change shows in the
  // next GetAdaptersAddresses, and throws std::runtime_error when it could not be made.
  MovingNetwork();
  ~MovingNetwork();
  MovingNetwork(const MovingNetwork&) = delete;
  MovingNetwork& operator=(const MovingNetwork&) = delete;

  void TakeAddressAway() { RemoveAddress(std::string(kLaptopAddress) + "/24"); }
  void GiveAddressBack() { AddAddress(std::string(kLaptopAddress) + "/24"); }
  // Away for that long, timed on the Linux side so that the time holds under load; returns once back.
  void TakeAddressAwayFor(std::chrono::milliseconds away) { Run("away-for " + std::to_string(away.count()), away); }
  // Away and back again times times, spread evenly within that time; returns once back.
  void FlapAddress(int times, std::chrono::milliseconds within) {
    Run("flap " + std::to_string(times) + " " + std::to_string(within.count()), within);
  }
  // Another address on the laptop's end of the link, e.g. "2001:db8:77::1/64"; gone at the close.
  void AddAddress(std::string_view cidr) { Run("add " + std::string(cidr)); }
  void RemoveAddress(std::string_view cidr) { Run("del " + std::string(cidr)); }

 private:
  // Runs scripts/test-hosts.sh with action and waits for its end, at most takes and a margin.
  static void Run(const std::string& action, std::chrono::milliseconds takes = {});
};

}  // namespace kestel::e2e
