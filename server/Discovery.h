#pragma once
// Installation discovery: where the registry and the service manager say servers are installed,
// and whether a guardian can be used.
#include <string>
#include <vector>

#include "server/Installation.h"
#include "server/Probes.h"
#include "server/uService.h"
#include "shell/Platform.h"

namespace vantrel {

// The root directory registered by Firebird, else by InterBase; empty when neither is.
std::wstring ReadRootDirectory();

// The installation in root as the files on disk show it.
TInstallation InstallationIn(const std::wstring& root);

// Every installation on the machine: the registered root (registeredRoot, as ReadRootDirectory
// gave it), the FirebirdServer<NAME> services and the installer's Uninstall keys in both registry
// views, one entry per root folder, each with its instance, services and port. Folders without a
// server program are left out.
std::vector<TInstallation> DiscoverInstallations(IServiceControl& services, const std::wstring& registeredRoot);

// The machine-wide FIREBIRD environment variable, which points every server at one folder;
// empty when it is not set.
std::wstring SystemFirebirdVariable();
// Two servers that cannot both run, and the variable that breaks all but one; said only when
// there are several installations (empty: nothing to warn of).
std::wstring InstanceWarningText(const std::vector<TInstallation>& installations);

// The guardian's program exists and, on the NT family, its service is installed.
bool GuardianIsAvailable(Platform& platform, const TInstallation& installation);

}  // namespace vantrel
