// Installation discovery: the registry's root directory and what the disk holds there.
#include "server/Discovery.h"

#include "server/FB_Consts.h"
#include "shell/Files.h"
#include "shell/Registry.h"

namespace vantrel {

// Each value is looked for in the 64-bit view, then in the 32-bit one; Firebird's wins.
std::wstring ReadRootDirectory() {
  if (auto firebird = ReadStringInEitherView(HKEY_LOCAL_MACHINE, kFirebirdInstancesKey, L"DefaultInstance"))
    return *firebird;
  return ReadStringInEitherView(HKEY_LOCAL_MACHINE, kInterBaseKey, L"RootDirectory").value_or(L"");
}

TInstallation InstallationIn(const std::wstring& root) {
  return FindInstallation(root, [](const std::wstring& path) { return FileExists(path); });
}

bool GuardianIsAvailable(Platform& platform, const TInstallation& installation) {
  if (!FileExists(installation.guardianExe)) return false;
  return !platform.probes.IsWindowsNT() ||
         !platform.services.QueryServiceSetup(installation.guardianServiceName).DisplayName.empty();
}

}  // namespace vantrel
