// Installation discovery: finds the server installation and fills the start page.
#include "app/Controls.h"
#include "app/fMain.h"
#include "resources/Texts.h"
#include "server/FB_Consts.h"
#include "server/uFileVersion.h"
#include "shell/Application.h"
#include "shell/Files.h"
#include "shell/Registry.h"
#include "shell/TextConv.h"

namespace vantrel {
namespace {

std::wstring Name(int role) { return FromAnsi(KindName(role)); }

void Fail(TfrmMain& form, const std::wstring& message) {
  form.Sys().dialogs.ShowError(message);
  form.QuitRequested = true;
  PostQuitMessage(1);
}

}  // namespace

std::wstring ReadRootDirectory() {
  std::wstring result;
  if (RegKey key = RegKey::Open(HKEY_LOCAL_MACHINE,
                                L"\\Software\\Firebird Project\\Firebird Server\\Instances", KEY_READ))
    result = key.ReadString(L"DefaultInstance").value_or(L"");
  if (result.empty()) {
    if (RegKey key = RegKey::Open(HKEY_LOCAL_MACHINE, L"\\Software\\Borland\\InterBase\\CurrentVersion",
                                  KEY_READ))
      result = key.ReadString(L"RootDirectory").value_or(L"");
  }
  return result;
}

void TfrmMain::DiscoverInstallation() {
  SetActivePage(tabStartup);
  ui::SetText(hwnd_, ApplicationTitle());
  ui::SetText(lblTitle, VersionText(ProgramFilePath()));
  ui::Enable(btnChangeRoot, true);
  ui::SetText(PAN_Def_Path, IncludeTrailingDelimiter(ProgramFolder()) + L"Data\\");

  RootDir = ReadRootDirectory();
  BinDir = IncludeTrailingDelimiter(RootDir) + L"bin";
  if (RootDir.empty()) Fail(*this, txt::NoRegistryEntry);
  ui::SetText(pnlRootDir, RootDir);
  if (!DirectoryExists(RootDir)) Fail(*this, txt::PathNotFound + RootDir);

  SetServerKind(skFirebird);
  ServerExePath = BinDir + L"\\" + Name(ServerExe);
  ServerFound = FileExists(ServerExePath);
  if (ServerFound) ui::Enable(btnChangeRoot, false);
  if (!ServerFound) {
    SetServerKind(skInterBase);
    ServerExePath = BinDir + L"\\" + Name(ServerExe);
    ServerFound = FileExists(ServerExePath);
  }
  if (!ServerFound) {
    SetServerKind(skNone);
    Fail(*this, std::wstring(txt::FileNotFound) + L" " + L"ibserver.exe" + L"/" + L"fbserver.exe");
  }
  ui::SetText(lblFBVersion, VersionText(ServerExePath));

  GuardianExePath = BinDir + L"\\" + Name(GuardianExe);
  ServerWindowClass = Name(vantrel::ServerWindowClass);
  GuardianWindowClass = Name(vantrel::GuardianWindowClass);
  ServerServiceName = Name(vantrel::ServerServiceName);
  GuardianServiceName = Name(vantrel::GuardianServiceName);

  if (platform_.probes.IsWindowsNT()) {
    TServiceList dependents;
    if (platform_.services.ListDependentServices(ServerServiceName, true, dependents)) {
      std::wstring text = txt::DependentServicesFmt;
      text.replace(text.find(L"%d"), 2, std::to_wstring(dependents.Count()));
      ui::SetText(lblDependentServices, text);
      ui::Show(lblDependentServices, true);
    } else {
      ui::Show(lblDependentServices, false);
    }
    const std::wstring guardianDisplayName =
        platform_.services.QueryServiceSetup(GuardianServiceName).DisplayName;
    GuardianAvailable = FileExists(GuardianExePath) && !guardianDisplayName.empty();
  } else {
    GuardianAvailable = FileExists(GuardianExePath);
  }

  RefreshServerState();
  ReadStartupSettings();
  LoadAliasFile();

  const bool r = CanAdminister();
  ui::Enable(cbxAutostart, r);
  ui::Enable(cbxService, r && platform_.probes.IsWindowsNT());
  ui::Enable(cbxGuardian, r && GuardianAvailable);
  ui::Enable(btnStartStop, r);

  SetTimerEnabled(true);
  ShowDefaultCursor();
}

}  // namespace vantrel
