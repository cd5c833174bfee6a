#include "NetworkMoves.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "Driver.h"

namespace kestel::e2e {

namespace {

using driver::Milliseconds;
// Starting the script and the few ip(8) calls of an action, on a loaded machine.
constexpr Milliseconds kActionMargin{30000};

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// The script and its folder are named by their Unix paths; Wine shows the Unix root as drive Z:.
std::string OnDriveZ(const std::string& unixPath) {
  std::string path = "Z:";
  for (const char c : unixPath) path += c == '/' ? '\\' : c;
  return path;
}

std::string Count(Milliseconds time) {
  return std::to_string(time.count());
}

}  // namespace

bool MovingNetwork::Available() {
  return !Variable("KESTEL_NETWORK_MOVES").empty() && !Variable("KESTEL_TEST_HOSTS_DIR").empty() &&
         !Variable("KESTEL_TEST_HOSTS_TAG").empty();
}

MovingNetwork::MovingNetwork() {
  if (!Available()) throw std::runtime_error("no moving network: scripts/test.sh sets up the test hosts");
  try {
    Run("open");
  } catch (const std::exception&) {
    try {
      Run("close");
    } catch (const std::exception&) {
    }
    throw;
  }
}

MovingNetwork::~MovingNetwork() {
  try {
    Run("close");
  } catch (const std::exception& e) {
    ADD_FAILURE() << e.what();
  }
}

void MovingNetwork::TakeAddressAway() {
  RemoveAddress(std::string(kLaptopAddress) + "/24");
}

void MovingNetwork::GiveAddressBack() {
  AddAddress(std::string(kLaptopAddress) + "/24");
}

void MovingNetwork::TakeAddressAwayFor(Milliseconds away) {
  Run("away-for " + Count(away), away);
}

void MovingNetwork::FlapAddress(int times, Milliseconds within) {
  if (times < 1) throw std::invalid_argument("an address flaps at least once");
  Run("flap " + std::to_string(times) + " " + Count(within), within);
}

void MovingNetwork::AddAddress(std::string_view cidr) {
  Run("add " + std::string(cidr));
}

void MovingNetwork::RemoveAddress(std::string_view cidr) {
  Run("del " + std::string(cidr));
}

void MovingNetwork::AddLoopbackAddress() {
  Run("loopback-add");
}

void MovingNetwork::RemoveLoopbackAddress() {
  Run("loopback-del");
}

void MovingNetwork::Run(const std::string& action, Milliseconds takes) {
  static std::atomic<unsigned> counter{0};
  const std::string name = "done-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
  const std::string done = OnDriveZ(Variable("KESTEL_TEST_HOSTS_DIR") + "/" + name);
  const std::string script = OnDriveZ(Variable("KESTEL_NETWORK_MOVES"));
  std::string commandLine = "\"" + script + "\" " + name + " " + action;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  // Wine runs the script as a Unix program, with the caller's Unix environment, and gives no process
  // back: it fills this with whatever it had at hand, so no handle in it is ours to close. The
  // script's end is the file it writes.
  PROCESS_INFORMATION notAProcess{};
  if (!CreateProcessA(script.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &notAProcess))
    throw std::runtime_error("cannot start " + script + " (error " + std::to_string(GetLastError()) + ")");
  if (!driver::WaitUntil([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; },
                         takes + kActionMargin, Milliseconds{10}))
    throw std::runtime_error("the moving network did not finish \"" + action + "\" in time");
  std::ifstream file(done);
  int status = -1;
  file >> status;
  std::ostringstream read;
  read << file.rdbuf();
  file.close();
  DeleteFileA(done.c_str());
  std::string errors = read.str();
  const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  errors.erase(errors.begin(), std::find_if_not(errors.begin(), errors.end(), blank));
  while (!errors.empty() && blank(errors.back())) errors.pop_back();
  if (status != 0)
    throw std::runtime_error("the moving network failed \"" + action + "\" (exit status " + std::to_string(status) +
                             "): " + errors);
}

}  // namespace kestel::e2e
