#pragma once
// Moving the server registration to another root directory: the client library copies and the
// installation's registration tools. The handler is TfrmMain::btnChangeRootClick.
#include <string>

#include "server/Installation.h"
#include "shell/uDialogs.h"
#include "shell/uExec.h"

namespace vantrel {

inline constexpr wchar_t ClientLibraryFile[] = L"gds32.dll";

// systemDir is the Windows system directory without trailing delimiter; an empty one counts as
// a system directory without client library.

// Copies the system's client library into the 2.5 layout's bin folder when that has none.
// Raises EActionError.
void BackupClientLibrary(const TInstallation& current, const std::wstring& systemDir);

// True when the installation holds both tools and its client library and the system's client
// library (if any) is not in use; otherwise shows why and answers false.
bool CheckRegistrationTools(const TInstallation& current, const std::wstring& systemDir, IDialogs& dialogs);

// Copies sourceDir + fileName over targetDir + fileName (both directories with trailing
// delimiter); nothing when the source is missing. Raises EActionError when the copy fails.
void CopyLibraryFile(const std::wstring& fileName, const std::wstring& sourceDir,
                     const std::wstring& targetDir);

// Puts the installation's client library into the system directory as gds32.dll: the 2.5 layout
// copies bin\gds32.dll, the root layout runs its own "instclient install gds32". A failure is
// shown, not raised.
void InstallClientLibrary(const TInstallation& target, const std::wstring& systemDir,
                          IProgramLauncher& launcher, IDialogs& dialogs);

// The registration tools of the installation, run hidden with the same arguments in every
// layout. Each run is traced; EActionError when a tool cannot be started.
void UninstallService(const TInstallation& installation, IProgramLauncher& launcher);
void UnRegisterServer(const TInstallation& installation, IProgramLauncher& launcher);
void RegisterServer(const TInstallation& installation, IProgramLauncher& launcher);
void InstallService(const TInstallation& installation, IProgramLauncher& launcher);

}  // namespace vantrel
