// The follower: with follow=1, after the logon run, Kestel stays resident without a window and
// switches between home and away again whenever the network changes, until the user stops it or the
// session ends.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "follow/FollowDecision.h"
#include "follow/FollowRecordEvents.h"
#include "run/Run.h"

namespace kestel {

// What kestel.exe was asked on its command line: to reach a running follower, or nothing of the kind.
enum class FollowerCommand { None, Check, Stop };
// "/check" or "/stop" in any capitals, blanks around them allowed; any other command line is none.
FollowerCommand ParseFollowerCommand(std::string_view commandLine);

// The set a logon run that ended this way left in force, or nullopt when it changed none (no
// settings file) or cannot tell (an error, the session's end). Only a complete run at home leaves the
// local set: every other end comes after the away step. After a drive failed to map, the next
// decision at home is therefore a switch to home, which tries the drive again.
std::optional<Place> PlaceInForceAfter(RunEnd end);
// Whether the run that has just ended is followed: it ended at home, away or with a failed drive (not
// without settings, without a server, with Cancel or an error), and kestel.ini says follow=1. The
// place in force when it is.
std::optional<Place> FollowAfter(RoamingHost& host, const RoamingState& state);

// The icon's tip: "Kestel: home since 08:14", and when a drive waits for a new password
// "Kestel: home since 08:14, H: waits for a new password".
std::string FollowTip(Place place, const std::string& since, const std::string& waitingDrive = {});

// Whether a drive mapping's result says the server refused the credentials themselves: a bad user
// name or password, a locked account, or a session to the same server under other credentials. The
// same credentials would be refused again, and each wrong password counts against the account
// towards its lockout, so the follower tries them only once.
bool RefusesCredentials(std::uint32_t result);

// The events that came since the follower last looked, each kind once: a burst of one kind is one
// event.
class FollowEvents {
 public:
  FollowEvents() = default;
  FollowEvents(std::initializer_list<FollowEvent> events) noexcept {
    for (const FollowEvent event : events) Add(event);
  }
  void Add(FollowEvent event) noexcept { bits_ |= Bit(event); }
  FollowEvents& operator|=(FollowEvents other) noexcept {
    bits_ |= other.bits_;
    return *this;
  }
  bool Empty() const noexcept { return bits_ == 0; }
  // A stop among them: the session's end, /stop or "Stop following".
  bool StopPending() const noexcept;
  // The one to handle next, taken out; a stop before anything else, since whatever else came with it
  // would only hold the stop up.
  std::optional<FollowEvent> TakeNext() noexcept;

 private:
  static unsigned Bit(FollowEvent event) noexcept { return 1u << static_cast<unsigned>(event); }
  unsigned bits_ = 0;
};

// What a follower asks of the platform beyond the run's host: a clock, a wait, the network's
// fingerprint and the notification-area icon.
class FollowHost {
 public:
  virtual ~FollowHost() = default;
  virtual FollowTime Now() = 0;
  // Returns what happened since the last call as soon as anything did, or nothing at deadline (at
  // once when it has passed).
  virtual FollowEvents WaitUntil(FollowTime deadline) = 0;
  // nullopt when it cannot be taken.
  virtual std::optional<std::string> TakeFingerprint() = 0;
  // The local time of day, "08:14".
  virtual std::string TimeOfDay() = 0;
  virtual void ShowTip(const std::string& tip) = 0;
  // True once a stop has been asked for: a switch looks between its drives and programs.
  virtual bool StopPending() = 0;
};

class Follower {
 public:
  // since: the time of day of the logon run's decision.
  Follower(RoamingHost& roaming, FollowHost& host, Place inForce, std::string since);
  // Follows until stopped; returns the exit code (1 after an error that ended it, otherwise 0).
  int Run();
  // Ends the following and records why, once; for the session's end, which may not wait for the loop.
  void End(FollowEnd end);

 private:
  void Woken(FollowEvent event);
  void DoWhatIsDue();
  std::optional<FollowEnd> ReadSettings();
  void Switch(const FollowSwitch& change);
  void ToHome();
  void ToAway();
  bool ConnectDrives(const std::optional<std::string>& userName);
  void RunPrograms(const SettingKey& section, const std::string& userName);
  std::string Tip(Place place, const std::string& since) const;
  template <class Compose>
  void Record(Compose compose) {
    RecordIfOn(record_, compose);
  }

  RoamingHost& roaming_;
  FollowHost& host_;
  RunRecord& record_;
  SettingsFile settings_;
  RegistryAccess* registry_ = nullptr;
  FollowDecider decider_;
  std::string since_;
  FollowTime started_;
  TConfig config_;
  TStringList names_;
  TStringList lines_;
  std::optional<FollowEnd> end_;
  // Credentials a server refused while following, and the drive it refused them for: not tried again
  // until kestel.ini holds others (or another logon run maps every drive).
  struct Refusal {
    std::string userName;
    std::string password;
    std::string drive;
  };
  std::optional<Refusal> refused_;
  // Taken one at a time, each followed by whatever falls due.
  FollowEvents pending_;
};

}  // namespace kestel
