#include "NetworkMoves.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <stdexcept>

#include "Driver.h"

namespace kestel::e2e {

namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// The script and its folder are named by their Unix paths; Wine shows the Unix root as drive Z:.
std::string OnDriveZ(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return "Z:" + path;
}

}  // namespace

bool MovingNetwork::Available() {
  return !Variable("KESTEL_NETWORK_MOVES").empty() && !Variable("KESTEL_TEST_HOSTS_DIR").empty() &&
         !Variable("KESTEL_TEST_HOSTS_TAG").empty();
}

// The open first removes whatever a test killed at its timeout, or an open that failed half-way,
// left open.
MovingNetwork::MovingNetwork() {
  if (!Available()) throw std::runtime_error("no moving network: scripts/test.sh sets up the test hosts");
  Run("open");
}

MovingNetwork::~MovingNetwork() {
  try {
    Run("close");
  } catch (const std::exception& e) {
    ADD_FAILURE() << e.what();
  }
}

void MovingNetwork::Run(const std::string& action, std::chrono::milliseconds takes) {
  // Starting the script and the few ip(8) calls of an action, on a loaded machine.
  constexpr std::chrono::milliseconds kActionMargin{30000};
  static std::atomic<unsigned> counter{0};
  const std::string name = "done-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
  const std::string done = OnDriveZ(Variable("KESTEL_TEST_HOSTS_DIR") + "/" + name);
  const std::string script = OnDriveZ(Variable("KESTEL_NETWORK_MOVES"));
  std::string commandLine = "\"" + script + "\" " + name + " " + action;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  // Wine runs the script as a Unix program, with the caller's Unix environment, and gives no process
  // back: it fills this with whatever it had at hand, so no handle in it is ours to close. The
  // script's end is the file it writes: its exit status, then its errors.
  PROCESS_INFORMATION notAProcess{};
  if (!CreateProcessA(script.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &notAProcess))
    throw std::runtime_error("cannot start " + script + " (error " + std::to_string(GetLastError()) + ")");
  if (!driver::WaitUntil([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; },
                         takes + kActionMargin, std::chrono::milliseconds{10}))
    throw std::runtime_error("the moving network did not finish \"" + action + "\" in time");
  std::ifstream file(done);
  int status = -1;
  std::string errors;
  file >> status >> std::ws;
  std::getline(file, errors, '\0');
  file.close();
  DeleteFileA(done.c_str());
  if (status != 0)
    throw std::runtime_error("the moving network failed \"" + action + "\" (exit status " + std::to_string(status) +
                             "): " + errors);
}

}  // namespace kestel::e2e
