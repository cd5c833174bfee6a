#include "follow/Follower.h"

#include <exception>
#include <iterator>

#include "base/AsciiText.h"
#include "base/Errors.h"
#include "proxy/InternetSettings.h"

namespace kestel {

namespace {

// A drive that is connected already, to whatever: left as it is.
constexpr std::uint32_t kAlreadyAssigned = 85;      // ERROR_ALREADY_ASSIGNED
constexpr std::uint32_t kAlreadyRemembered = 1202;  // ERROR_DEVICE_ALREADY_REMEMBERED

// What counts as refused credentials. ERROR_EXTENDED_ERROR (a provider's own reason) is not among
// them, nor an expired or disabled account, which a retry does not count against.
constexpr std::uint32_t kRefusedCredentials[] = {
    86,    // ERROR_INVALID_PASSWORD
    1219,  // ERROR_SESSION_CREDENTIAL_CONFLICT
    1326,  // ERROR_LOGON_FAILURE
    1909,  // ERROR_ACCOUNT_LOCKED_OUT
};

bool Blank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

FollowerCommand ParseFollowerCommand(std::string_view commandLine) {
  while (!commandLine.empty() && Blank(commandLine.front())) commandLine.remove_prefix(1);
  while (!commandLine.empty() && Blank(commandLine.back())) commandLine.remove_suffix(1);
  if (AsciiNameEquals(commandLine, "/check")) return FollowerCommand::Check;
  if (AsciiNameEquals(commandLine, "/stop")) return FollowerCommand::Stop;
  return FollowerCommand::None;
}

std::optional<Place> PlaceInForceAfter(RunEnd end) {
  switch (end) {
    case RunEnd::HomeComplete:
      return Place::Home;
    case RunEnd::AwayComplete:
    case RunEnd::MappingFailed:
    case RunEnd::NoServer:
    case RunEnd::LogonCancelled:
      return Place::Away;
    case RunEnd::NoSettingsFile:
    case RunEnd::UncaughtError:
    case RunEnd::SessionEnded:  // after whichever step was the last
      break;
  }
  return std::nullopt;
}

std::optional<Place> FollowAfter(RoamingHost& host, const RoamingState& state) {
  const bool follows =
      state.End == RunEnd::HomeComplete || state.End == RunEnd::AwayComplete || state.End == RunEnd::MappingFailed;
  if (!follows) return std::nullopt;
  const std::optional<Place> place = PlaceInForceAfter(*state.End);
  SettingsFile settings(host.AppDirectory() + std::string(kSettingsFileName), host.Profile());
  if (!settings.ReadSettingFlag(keys::kFollow)) return std::nullopt;
  return place;
}

namespace {

// The order events are handled in when several came at once: the stops first, the session's end
// before the others since the process may be ended any moment; then a run's set, which the next
// decision goes against, then the checks and notices.
constexpr FollowEvent kHandlingOrder[] = {
    FollowEvent::SessionEnded,  FollowEvent::StopCommand,  FollowEvent::StopChosen,     FollowEvent::AwaySetByARun,
    FollowEvent::HomeSetByARun, FollowEvent::CheckCommand, FollowEvent::CheckNowChosen, FollowEvent::Unlocked,
    FollowEvent::Resumed,       FollowEvent::SystemNotice, FollowEvent::NetworkChanged, FollowEvent::Started};
constexpr std::size_t kStops = 3;
static_assert(std::size(kHandlingOrder) == static_cast<std::size_t>(FollowEvent::SessionEnded) + 1,
              "every event has its turn");

}  // namespace

bool FollowEvents::StopPending() const noexcept {
  for (std::size_t i = 0; i < kStops; ++i)
    if ((bits_ & Bit(kHandlingOrder[i])) != 0) return true;
  return false;
}

std::optional<FollowEvent> FollowEvents::TakeNext() noexcept {
  for (const FollowEvent event : kHandlingOrder)
    if ((bits_ & Bit(event)) != 0) {
      bits_ &= ~Bit(event);
      return event;
    }
  return std::nullopt;
}

std::string FollowTip(Place place, const std::string& since, const std::string& waitingDrive) {
  std::string tip = std::string("Kestel: ") + (place == Place::Home ? "home" : "away") + " since " + since;
  if (!waitingDrive.empty()) tip += ", " + waitingDrive + " waits for a new password";
  return tip;
}

bool RefusesCredentials(std::uint32_t result) {
  for (const std::uint32_t refused : kRefusedCredentials)
    if (result == refused) return true;
  return false;
}

Follower::Follower(RoamingHost& roaming, FollowHost& host, Place inForce, std::string since)
    : roaming_(roaming),
      host_(host),
      record_(roaming.Record()),
      settings_(roaming.AppDirectory() + std::string(kSettingsFileName), roaming.Profile()),
      decider_(inForce, host.Now()),
      since_(std::move(since)),
      started_(host.Now()) {}

int Follower::Run() {
  try {
    registry_ = &roaming_.CreateRegistry();
    const std::optional<std::string> fingerprint = host_.TakeFingerprint();
    decider_.Polled(host_.Now(), fingerprint);
    // The network the follower starts from is not the one the logon run decided on: drives, programs
    // and the window's end came between. A move meanwhile would go unseen, so it decides once at once.
    decider_.CheckNow(host_.Now(), FollowEvent::Started);
    Record([&] { return FollowStartEvent(decider_.InForce(), fingerprint); });
    host_.ShowTip(Tip(decider_.InForce(), since_));
    while (!end_) {
      // With events left over, only what has come meanwhile is fetched: a stop overtakes them.
      pending_ |= host_.WaitUntil(pending_.Empty() ? decider_.NextDeadline() : host_.Now());
      if (const std::optional<FollowEvent> event = pending_.TakeNext()) Woken(*event);
      if (!end_) DoWhatIsDue();
    }
    return 0;
  } catch (const std::exception&) {
    // Nothing while following shows a box: the error is recorded, and the follower ends.
    const UncaughtError error = CurrentUncaughtError();
    try {
      Record([&] { return UncaughtErrorEvent(error.kind, error.message); });
      End(FollowEnd::Error);
    } catch (...) {
      // Out of memory again: nothing more to be done.
    }
    return 1;
  }
}

void Follower::End(FollowEnd end) {
  if (end_) return;
  end_ = end;
  const int exitCode = end == FollowEnd::Error ? 1 : 0;
  Record([&] { return FollowEndEvent(end, exitCode, static_cast<std::uint64_t>((host_.Now() - started_).count())); });
}

void Follower::Woken(FollowEvent event) {
  const FollowTime now = host_.Now();
  switch (event) {
    case FollowEvent::Started:
    case FollowEvent::NetworkChanged:
      break;  // the follower's own, never handed to it
    case FollowEvent::SystemNotice:
    case FollowEvent::Resumed:
    case FollowEvent::Unlocked:
      decider_.Noticed(now, event);
      break;
    case FollowEvent::CheckNowChosen:
    case FollowEvent::CheckCommand:
      decider_.CheckNow(now, event);
      break;
    case FollowEvent::HomeSetByARun:
    case FollowEvent::AwaySetByARun: {
      const Place place = event == FollowEvent::HomeSetByARun ? Place::Home : Place::Away;
      decider_.InForceNow(place);
      // A run that put the local set in force had every drive mapped: the server takes credentials again.
      if (place == Place::Home) refused_.reset();
      Record([&] { return FollowRunSetEvent(place); });
      host_.ShowTip(Tip(place, host_.TimeOfDay()));
      break;
    }
    case FollowEvent::StopChosen:
      End(FollowEnd::StopChosen);
      break;
    case FollowEvent::StopCommand:
      End(FollowEnd::StopCommand);
      break;
    case FollowEvent::SessionEnded:
      End(FollowEnd::SessionEnded);
      break;
  }
}

void Follower::DoWhatIsDue() {
  for (FollowDue due; !end_ && (due = decider_.Due(host_.Now())) != FollowDue::Nothing;) {
    if (due == FollowDue::Poll) {
      decider_.Polled(host_.Now(), host_.TakeFingerprint());
      continue;
    }
    // kestel.ini and the policy are read again before each decision: a change counts without a new logon.
    if (const std::optional<FollowEnd> end = ReadSettings()) return End(*end);
    const ProbeOutcome probe = roaming_.PingHost(config_.Server);
    // A stop asked while the probe waited goes before the switch it would start: the session's end
    // above all, after which Windows may end the process in the middle of the switch's writes.
    if (end_ || host_.StopPending()) return;
    if (const std::optional<FollowSwitch> change = decider_.Probed(host_.Now(), probe)) Switch(*change);
  }
}

std::optional<FollowEnd> Follower::ReadSettings() {
  // The policy in force now, as for a logon run: it may have changed since the last decision.
  const Policy& policy = roaming_.ReadPolicy();
  if (!roaming_.FileExists(settings_.Path()) && !policy.SetsServer()) return FollowEnd::NoSettingsFile;
  if (!settings_.ReadSettingFlag(keys::kFollow)) return FollowEnd::NotAsked;
  config_.Server = settings_.ReadSettingText(keys::kServer);
  if (config_.Server == keys::kServer.marker) return FollowEnd::NoServer;
  return std::nullopt;
}

// A switch that fails on the way (the registry refused a value) is recorded, and the decision before
// it stays in force, so that the next decision tries again; the follower goes on.
void Follower::Switch(const FollowSwitch& change) {
  Record([&] { return SwitchEvent(change, config_.Server); });
  try {
    if (change.to == Place::Home)
      ToHome();
    else
      ToAway();
  } catch (const Error&) {
    const UncaughtError error = CurrentUncaughtError();
    Record([&] { return UncaughtErrorEvent(error.kind, error.message); });
    decider_.InForceNow(change.to == Place::Home ? Place::Away : Place::Home);
    return;
  }
  host_.ShowTip(Tip(change.to, host_.TimeOfDay()));
}

// The local set first: it is what a move home is waited for, and a drive may take its time.
void Follower::ToHome() {
  PutLocalSetInForce(roaming_, settings_, *registry_, config_);
  // No stored user name: %INTERNALUSERNAME% stands for nothing, as away.
  std::optional<std::string> userName = settings_.ReadSettingText(keys::kUserName);
  if (*userName == keys::kUserName.marker) userName.reset();
  // As after a logon run, the programs run only once every listed drive is connected.
  if (ConnectDrives(userName) && settings_.ReadSettingFlag(keys::kFollowPrograms))
    RunPrograms(keys::kLocalPrograms, userName.value_or(std::string()));
}

// Drives are left alone away: a connection that cannot be reached does no harm, and cancelling one
// with open files would lose data.
void Follower::ToAway() {
  if (const InternetSetOutcome away = ApplyStoredAwaySettings(settings_, *registry_, roaming_.Connections(), config_);
      away.applied)
    FinishAwaySet(roaming_, away, config_);
  else
    Record([] { return AwaySetNotStoredEvent(); });
  if (settings_.ReadSettingFlag(keys::kFollowPrograms)) RunPrograms(keys::kAwayPrograms, std::string());
}

// Every listed drive not connected yet, with the stored credentials only: never a dialog, never a
// box. True when every one is connected afterwards.
bool Follower::ConnectDrives(const std::optional<std::string>& userName) {
  settings_.ReadSectionKeys(keys::kMappings, names_);
  settings_.ReadSectionLines(keys::kMappings, lines_);
  if (names_.empty()) return true;
  const StoredPassword password(settings_.ReadSettingText(keys::kPassword), keys::kPassword.marker,
                                roaming_.Protection());
  if (!userName || password.Missing()) {
    Record([] { return CredentialsEvent(CredentialSource::NoneStored, {}); });
    return false;
  }
  const std::string& secret = *password.Usable();
  if (refused_ && refused_->userName == *userName && refused_->password == secret) return false;
  refused_.reset();
  bool connected = true;
  for (std::size_t i = 0; i < names_.size() && i < lines_.size(); ++i) {
    if (host_.StopPending()) return false;
    const std::string target = ExpandForRun(roaming_, *userName, ValueOfLine(lines_, names_, i));
    const std::uint32_t result = roaming_.MapDrive(names_[i], target, false, true, *userName, secret);
    if (result == kAlreadyAssigned || result == kAlreadyRemembered) continue;
    if (result != 0) connected = false;
    Record([&] { return MappingEvent(names_[i], target, result, record_.SystemText(result)); });
    // The next drive would be one more refused try against the same account.
    if (RefusesCredentials(result)) {
      refused_ = Refusal{*userName, secret, names_[i]};
      Record([&] { return CredentialsRefusedEvent(names_[i], *userName, result, record_.SystemText(result)); });
      return false;
    }
  }
  return connected;
}

std::string Follower::Tip(Place place, const std::string& since) const {
  return FollowTip(place, since, place == Place::Home && refused_ ? refused_->drive : std::string());
}

void Follower::RunPrograms(const SettingKey& section, const std::string& userName) {
  RunSectionPrograms(roaming_, settings_, section, userName, config_, names_, lines_,
                     [this] { return !host_.StopPending(); });
}

}  // namespace kestel
