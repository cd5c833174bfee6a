// Moving the laptop from a test, as carrying it elsewhere would: what the laptop itself sees change is
// its address. A test opens a network of its own (scripts/test-hosts.sh, "the moving network"), a
// link with the laptop's address on one end and a home server on the other, moves it while kestel.exe
// runs, and closes it at its end. The shared test hosts are never moved.
//
// Every program of the suite's Wine prefix sees a move, so the tests that move take turns with those
// that run kestel.exe: every end-to-end test holds the ctest lock kestel_user_session, and module
// tests that move are listed among the suites that hold it (cmake/WineTests.cmake).
//
//   if (!MovingNetwork::Available()) GTEST_SKIP() << "no test hosts: run the suite with scripts/test.sh";
//   MovingNetwork network;
//   sandbox.WriteIni(std::string("[connection]\r\nserver=") + MovingNetwork::kHomeServer + "\r\n...");
//   ... start kestel.exe ...
//   network.TakeAddressAway();   // the home server cannot be reached from the next moment on
//   network.GiveAddressBack();   // it answers again
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

  // Whether the suite's test hosts are there to move: scripts/test.sh sets them up, as root, in the
  // suite's own network namespace. A test binary run on its own has none, and its moving tests skip.
  static bool Available();

  // Opens the link, up, with the laptop's address on it and the home server answering. Whatever a
  // test killed at its timeout left open is removed first. Throws std::runtime_error on failure.
  MovingNetwork();
  // Closes the link, and with it every change the test made, also when the test failed; a close
  // that fails fails the test.
  ~MovingNetwork();
  MovingNetwork(const MovingNetwork&) = delete;
  MovingNetwork& operator=(const MovingNetwork&) = delete;

  // Each returns once the change is made, so that the next GetAdaptersAddresses shows it, and throws
  // std::runtime_error when it could not be made (taking an address away that is not there, say).
  void TakeAddressAway();
  void GiveAddressBack();
  // Away for that long, done on the Linux side so that the time holds under load; returns once the
  // address is back.
  void TakeAddressAwayFor(std::chrono::milliseconds away);
  // Away and back again times times, spread evenly within that time; returns once the address is back.
  void FlapAddress(int times, std::chrono::milliseconds within);
  // Another address on the laptop's end of the link, e.g. "2001:db8:77::1/64"; gone at the close.
  void AddAddress(std::string_view cidr);
  void RemoveAddress(std::string_view cidr);
  // 127.77.0.1/8 on the loopback link, which is no move; gone at the close.
  void AddLoopbackAddress();
  void RemoveLoopbackAddress();

 private:
  // Runs scripts/test-hosts.sh with action and waits for its end, at most takes and a margin.
  static void Run(const std::string& action, std::chrono::milliseconds takes = {});
};

}  // namespace kestel::e2e
