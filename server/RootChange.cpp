// Root directory change: the old installation's service and registration are removed with its
// own tools, the new one is registered with its tools, and its client library is installed.
#include "server/RootChange.h"

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <type_traits>

#include "app/fMain.h"
#include "server/RootChangeTexts.h"
#include "server/StartupSettings.h"
#include "server/rules/RunEntry.h"
#include "server/uFileVersion.h"
#include "shell/Application.h"
#include "shell/DbugIntf.h"
#include "shell/Files.h"
#include "shell/OsError.h"
#include "shell/TextConv.h"

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
constexpr wchar_t ServerRunEntry[] = L"Firebird";

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using OwnedFile = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;


std::wstring SystemLibraryPath(const std::wstring& systemDir) {
  return systemDir.empty() ? std::wstring() : IncludeTrailingDelimiter(systemDir) + ClientLibraryFile;
}

// Fills each "%s" of the pattern in turn; a "%s" inside a value stays as it is.
std::wstring FormatTexts(const std::wstring& pattern, std::initializer_list<std::wstring> values) {
  std::wstring result;
  std::size_t from = 0;
  for (const std::wstring& value : values) {
    const std::size_t at = pattern.find(L"%s", from);
    if (at == std::wstring::npos) break;
    result.append(pattern, from, at - from).append(value);
    from = at + 2;
  }
  return result.append(pattern, from, std::wstring::npos);
}

bool SameFolder(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                              TRUE) == CSTR_EQUAL;
}

bool CanOpenExclusively(const std::wstring& path) {
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  OwnedFile closedAtOnce(handle);
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

TInstallation InstallationIn(const std::wstring& root) {
  return FindInstallation(root, [](const std::wstring& path) { return FileExists(path); });
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

void TfrmMain::btnChangeRootClick() {
  IDialogs& dialogs = platform_.dialogs;
  const std::wstring systemDir = platform_.services.SystemDirectory();

  try {
    BackupClientLibrary(Installation, systemDir);
  } catch (const EActionError& e) {
    dialogs.ShowError(e.Message());
    return;
  }
  if (!CheckRegistrationTools(Installation, systemDir, dialogs)) return;

  std::wstring chosen;
  if (!dialogs.BrowseForFolder(text::BrowseTitle, L"", RootDir, chosen)) return;
  const std::wstring newRoot = ExcludeTrailingDelimiter(chosen);
  if (SameFolder(newRoot, ExcludeTrailingDelimiter(RootDir))) return;

  const bool nt = platform_.probes.IsWindowsNT();
  const TInstallation target = InstallationIn(newRoot);
  if (!target.Found() || !HasRegistrationTools(target, nt)) {
    dialogs.ShowError(FormatTexts(text::NotARootFmt, {newRoot}));
    return;
  }
  const std::wstring version = VersionText(target.serverExe);
  if (dialogs.AskConfirmation(FormatTexts(text::ConfirmChangeFmt, {newRoot, version})) != AnswerYes) return;

  struct CursorReset {
    ~CursorReset() { ShowDefaultCursor(); }
  } cursorReset;  // also when the refresh below raises
  ShowHourglass();
  try {
    StopServer();
    // A server service left running (dependents kept) would be pulled away by the tools.
    if (ServerWindowExists() || ServerServiceRunning()) throw EActionError(text::CannotStopServer);
    if (nt) UninstallService(Installation, platform_.launcher);
    UnRegisterServer(Installation, platform_.launcher);
    WriteRunEntry(ServerRunEntry, L"", L"", false, true);
    RegisterServer(target, platform_.launcher);
    if (nt) InstallService(target, platform_.launcher);
    InstallClientLibrary(target, systemDir, platform_.launcher, dialogs);
  } catch (const EActionError& e) {
    dialogs.ShowError(e.Message());
  } catch (const EOSError& e) {
    dialogs.ShowError(e.StandardMessage());
  } catch (const std::exception& e) {
    dialogs.ShowError(FromUtf8(e.what()));
  }

  DiscoverInstallation();
  FormShow();
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  ProcessMessages();
  ShowDefaultCursor();
  BringWindowToTop(hwnd_);
}

}  // namespace vantrel
