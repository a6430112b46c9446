// Reading setup.ini into the run's settings, and the privilege requirement
// that setup.ini places on the user.
#pragma once

#include <windows.h>

#include "base/stringx.h"
#include "launcher/setup_settings.h"

namespace kx {

// What reading the settings needs from the system, and the steps that run
// once setup.ini and the command line are in (SetupSettings::ReadSettings).
class SettingsContext {
 public:
  virtual ~SettingsContext() = default;

  // The default of AllUsers: true on a system without user security, or
  // when the Administrators group is enabled in the user's token.
  virtual bool AdministratorsEnabled() = 0;

  // Looks up the product's installed instances: fills Instances,
  // InstanceModeAll and OfferInstanceChoice, and may set InstallGuid.
  virtual void DetectInstances(SetupSettings& s) = 0;

  // Chooses the run's language: sets ChosenLanguage and its source flags.
  // Runs after DetectInstances, whose InstallGuid it may use.
  virtual void ResolveLanguage(SetupSettings& s) = 0;
};

// A context that answers the system question from the user's token
// (Windows 9x counts as administrator); the follow-up steps are the
// deriving class's.
class SystemSettingsContext : public SettingsContext {
 public:
  bool AdministratorsEnabled() override;
};

// The privilege requirement of the engine sequence. Reads AllUsers again
// from s.SetupIniPath with the system's private-profile integer reader (so
// "Y" counts as 0); returns kAdminInstalled (0x80042002) when that number is
// not 0 and the user is not privileged, or when the switch
// "show_err_msg_invalid_identity" was given; S_OK otherwise.
HRESULT CheckPrivilegeRequirement(const SetupSettings& s, bool privileged_user);

}  // namespace kx
