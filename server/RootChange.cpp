// Root directory change: the old installation's service and registration are removed with its
// own tools, the new one is registered with its tools, and its client library is installed.
#include "server/RootChange.h"

#include <windows.h>

#include <cstdint>
#include <initializer_list>

#include "server/Discovery.h"
#include "server/EnhancedPage.h"
#include "server/RootChangeTexts.h"
#include "server/StartupSettings.h"
#include "server/rules/RunEntry.h"
#include "server/uFileVersion.h"
#include "shell/Application.h"
#include "shell/Busy.h"
#include "shell/DbugIntf.h"
#include "shell/Files.h"
#include "shell/OsError.h"
#include "shell/Handles.h"
#include "shell/TextConv.h"
#include "shell/rules/TextRules.h"

namespace vantrel {
namespace {

namespace text = txt::rootchange;

constexpr wchar_t UninstallServiceArguments[] = L" remove -g";
constexpr wchar_t UnRegisterServerArguments[] = L" remove";
constexpr wchar_t InstallArgument[] = L" install";
constexpr wchar_t InstallServiceOptions[] = L" -g -auto";
// instclient writes a copy of fbclient.dll named gds32.dll into the system folder.
constexpr wchar_t InstallClientArguments[] = L" install gds32";
constexpr wchar_t TraceCodeSeparator[] = L", Code=";



std::wstring SystemLibraryPath(const std::wstring& systemDir) {
  return systemDir.empty() ? std::wstring() : IncludeTrailingDelimiter(systemDir) + ClientLibraryFile;
}

bool CanOpenExclusively(const std::wstring& path) {
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  OwnedHandle closedAtOnce(handle);
  return true;
}

// The new root's own tools carry out the registration; without them the old registration would
// be removed and no new one made.
bool HasRegistrationTools(const TInstallation& target, bool withServices) {
  return FileExists(target.instreg) && (!withServices || FileExists(target.instsvc));
}

std::wstring QuotedDirectory(const std::wstring& dir) {
  // UTF-8 keeps every character, and a quote byte never occurs inside a multi-byte sequence.
  return FromUtf8(QuoteAlways(ToUtf8(ExcludeTrailingDelimiter(dir))));
}

// Runs each command line in turn; only the last result counts. Raises when it could not start.
void RunTool(IProgramLauncher& launcher, std::initializer_list<std::wstring> commandLines,
             const wchar_t* errorPrefix) {
  std::int64_t result = 0;
  DWORD startError = ERROR_SUCCESS;
  for (const std::wstring& commandLine : commandLines) {
    result = launcher.RunAndWait(commandLine, SW_HIDE);
    // Taken before the trace, whose window and registry calls overwrite the last error.
    startError = result < 0 ? GetLastError() : ERROR_SUCCESS;
    DebugTrace(commandLine + TraceCodeSeparator + std::to_wstring(result));
  }
  if (result < 0) throw EActionError(errorPrefix + SystemErrorText(startError));
}

}  // namespace

void CopyLibraryFile(const std::wstring& fileName, const std::wstring& sourceDir,
                     const std::wstring& targetDir) {
  const std::wstring source = sourceDir + fileName;
  if (!FileExists(source)) return;
  if (!CopyFileW(source.c_str(), (targetDir + fileName).c_str(), FALSE)) {
    const DWORD error = GetLastError();
    throw EActionError(FormatTexts(text::CannotCopyFmt, {fileName}) + L"\r\n" + SystemErrorText(error));
  }
}


// The root layout keeps its own fbclient.dll and has no gds32.dll to keep.
void BackupClientLibrary(const TInstallation& current, const std::wstring& systemDir) {
  if (systemDir.empty() || current.layout != ServerLayout::BinFolder || FileExists(current.clientLibrary)) return;
  CopyLibraryFile(ClientLibraryFile, IncludeTrailingDelimiter(systemDir), IncludeTrailingDelimiter(current.programDir));
}

bool CheckRegistrationTools(const TInstallation& current, const std::wstring& systemDir, IDialogs& dialogs) {
  for (const std::wstring* path : {&current.instsvc, &current.instreg, &current.clientLibrary}) {
    if (!FileExists(*path)) {
      dialogs.ShowError(text::ToolsMissing);
      return false;
    }
  }
  const std::wstring systemLibrary = SystemLibraryPath(systemDir);
  if (!systemLibrary.empty() && FileExists(systemLibrary) && !CanOpenExclusively(systemLibrary)) {
    dialogs.ShowError(text::LibraryLocked + systemLibrary);
    return false;
  }
  return true;
}

void InstallClientLibrary(const TInstallation& target, const std::wstring& systemDir,
                          IProgramLauncher& launcher, IDialogs& dialogs) {
  if (systemDir.empty()) return;
  try {
    if (target.layout == ServerLayout::RootFolder) {
      if (FileExists(target.instclient))
        RunTool(launcher, {target.instclient + InstallClientArguments}, text::InstallClientPrefix);
    } else {
      CopyLibraryFile(ClientLibraryFile, IncludeTrailingDelimiter(target.programDir),
                      IncludeTrailingDelimiter(systemDir));
    }
  } catch (const EActionError& e) {
    dialogs.ShowError(e.Message());
  }
}

void UninstallService(const TInstallation& installation, IProgramLauncher& launcher) {
  RunTool(launcher, {installation.instsvc + UninstallServiceArguments}, text::UninstallServicePrefix);
}

void UnRegisterServer(const TInstallation& installation, IProgramLauncher& launcher) {
  RunTool(launcher, {installation.instreg + UnRegisterServerArguments}, text::UnRegisterServerPrefix);
}

void RegisterServer(const TInstallation& installation, IProgramLauncher& launcher) {
  const std::wstring program = installation.instreg + InstallArgument;
  RunTool(launcher, {program + L" " + QuotedDirectory(installation.rootDir), program}, text::RegisterServerPrefix);
}

void InstallService(const TInstallation& installation, IProgramLauncher& launcher) {
  const std::wstring program = installation.instsvc + InstallArgument;
  RunTool(launcher,
          {program + L" " + QuotedDirectory(installation.rootDir) + InstallServiceOptions,
           program + InstallServiceOptions},
          text::InstallServicePrefix);
}

void TEnhancedPage::btnChangeRootClick() {
  if (ApplicationBusy()) return;
  Platform& platform = host_.Sys();
  IDialogs& dialogs = platform.dialogs;
  const TInstallation current = host_.Installation();  // a copy: the discovery below replaces it
  const std::wstring systemDir = platform.services.SystemDirectory();

  try {
    BackupClientLibrary(current, systemDir);
  } catch (const EActionError& e) {
    dialogs.ShowError(e.Message());
    return;
  }
  if (!CheckRegistrationTools(current, systemDir, dialogs)) return;

  std::wstring chosen;
  if (!dialogs.BrowseForFolder(text::BrowseTitle, L"", current.rootDir, chosen)) return;
  const std::wstring newRoot = ExcludeTrailingDelimiter(chosen);
  if (SameFolder(newRoot, ExcludeTrailingDelimiter(current.rootDir))) return;

  const bool nt = platform.probes.IsWindowsNT();
  const TInstallation target = InstallationIn(newRoot);
  if (!target.Found() || !HasRegistrationTools(target, nt)) {
    dialogs.ShowError(FormatTexts(text::NotARootFmt, {newRoot}));
    return;
  }
  const std::wstring version = VersionText(target.serverExe);
  if (dialogs.AskConfirmation(FormatTexts(text::ConfirmChangeFmt, {newRoot, version})) != AnswerYes) return;

  {
    TBusyScope busy;  // the stop's waits keep the window alive; nothing else starts meanwhile
    try {
      if (!server_.StopServer()) return;  // the user keeps the server and its attachments
      // A server service left running (dependents kept) would be pulled away by the tools.
      if (server_.ServerWindowExists() || server_.ServerServiceRunning()) throw EActionError(text::CannotStopServer);
      // The services are removed and made again, perhaps under the same names: nothing of this
      // program may hold them meanwhile.
      platform.services.Follow({}, {});
      if (nt) UninstallService(current, platform.launcher);
      UnRegisterServer(current, platform.launcher);
      WriteRunEntry(kServerRunEntry, L"", L"", false, true);
      RegisterServer(target, platform.launcher);
      if (nt) InstallService(target, platform.launcher);
      InstallClientLibrary(target, systemDir, platform.launcher, dialogs);
    } catch (...) {
      dialogs.ShowError(CaughtErrorText());
    }
    if (onRootChanged) onRootChanged();
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    ProcessMessages();
  }
  BringWindowToTop(host_.Window());
}

}  // namespace vantrel
