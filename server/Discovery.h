#pragma once
// Installation discovery: where the registry says the server is installed, and whether its
// guardian can be used.
#include <string>

#include "server/Installation.h"
#include "shell/Platform.h"

namespace vantrel {

// The root directory registered by Firebird, else by InterBase; empty when neither is.
std::wstring ReadRootDirectory();

// The installation in root as the files on disk show it.
TInstallation InstallationIn(const std::wstring& root);

// The guardian's program exists and, on the NT family, its service is installed.
bool GuardianIsAvailable(Platform& platform, const TInstallation& installation);

}  // namespace vantrel
