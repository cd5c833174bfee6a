// The logon run's own events in the record: its probe, its programs and its end.
#pragma once

#include <cstdint>
#include <string>

#include "launch/Launch.h"
#include "net/PingUtil.h"
#include "record/RunRecord.h"

namespace kestel {

// The ends of a run, as the end event names them.
enum class RunEnd {
  NoSettingsFile,
  NoServer,
  LogonCancelled,
  MappingFailed,
  HomeComplete,
  AwayComplete,
  UncaughtError,
  // Windows said the session ends, or Restart Manager asked the program to close: no step began after.
  SessionEnded,
};

// errorText explains outcome.error when the service counted no reply.
RunEvent ProbeEvent(const std::string& server, const ProbeOutcome& outcome, const std::string& errorText);
// One probe in a few words, for a decision that took several; the full form is ProbeEvent's.
std::string ProbeSummary(const ProbeOutcome& outcome);
RunEvent ProgramEvent(const std::string& commandLine, const ProgramOutcome& outcome, const std::string& errorText);
RunEvent EndEvent(RunEnd end, int exitCode, std::uint64_t totalMs);

// The echo service's statuses share their numbers with unrelated system codes, so they are named
// here; null for a code that is no such status.
const char* IpStatusName(std::uint32_t status);

}  // namespace kestel
