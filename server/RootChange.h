#pragma once
// Moving the server registration to another root directory: the client library copies and the
// installation's registration tools. The handler is TfrmMain::btnChangeRootClick.
#include <string>

#include "shell/uDialogs.h"
#include "shell/uExec.h"

namespace vantrel {

inline constexpr wchar_t ClientLibraryFile[] = L"gds32.dll";

// systemDir is the Windows system directory without trailing delimiter; an empty one counts as
// a system directory without client library.

// Copies the system's client library into rootDir\bin when that has none. Raises EActionError.
void BackupClientLibrary(const std::wstring& rootDir, const std::wstring& systemDir);

// True when rootDir\bin holds both tools and the client library and the system's client library
// (if any) is not in use; otherwise shows why and answers false.
bool CheckRegistrationTools(const std::wstring& rootDir, const std::wstring& systemDir, IDialogs& dialogs);

// Copies sourceDir + fileName over targetDir + fileName (both directories with trailing
// delimiter); nothing when the source is missing. Raises EActionError when the copy fails.
void CopyLibraryFile(const std::wstring& fileName, const std::wstring& sourceDir,
                     const std::wstring& targetDir);

// Puts newRoot\bin\gds32.dll into the system directory; a failure is shown, not raised.
void InstallClientLibrary(const std::wstring& newRoot, const std::wstring& systemDir, IDialogs& dialogs);

// The registration tools of the installation in dir (with or without trailing delimiter), run
// hidden. Each run is traced; EActionError when a tool cannot be started.
void UninstallService(const std::wstring& dir, IProgramLauncher& launcher);
void UnRegisterServer(const std::wstring& dir, IProgramLauncher& launcher);
void RegisterServer(const std::wstring& dir, IProgramLauncher& launcher);
void InstallService(const std::wstring& dir, IProgramLauncher& launcher);

}  // namespace vantrel
