// Installation discovery: finds the server installation and fills the start page.
#include "app/Controls.h"
#include "app/fMain.h"
#include "resources/Texts.h"
#include "server/FB_Consts.h"
#include "server/Installation.h"
#include "server/StartupSettings.h"
#include "server/uFileVersion.h"
#include "shell/Application.h"
#include "shell/Files.h"
#include "shell/Registry.h"
#include "shell/TextConv.h"

namespace vantrel {
namespace {

void Fail(TfrmMain& form, const std::wstring& message) {
  form.Sys().dialogs.ShowError(message);
  form.QuitRequested = true;
  PostQuitMessage(1);
}

}  // namespace

// Each value is looked for in the 64-bit view, then in the 32-bit one; Firebird's wins.
std::wstring ReadRootDirectory() {
  if (auto firebird = ReadStringInEitherView(HKEY_LOCAL_MACHINE, kFirebirdInstancesKey, L"DefaultInstance"))
    return *firebird;
  return ReadStringInEitherView(HKEY_LOCAL_MACHINE, kInterBaseKey, L"RootDirectory").value_or(L"");
}

void TfrmMain::SetInstallation(TInstallation found) {
  Installation = std::move(found);
  RootDir = Installation.rootDir;
  BinDir = Installation.programDir;
  ServerExePath = Installation.serverExe;
  GuardianExePath = Installation.guardianExe;
  ServerWindowClass = Installation.serverWindowClass;
  GuardianWindowClass = Installation.guardianWindowClass;
  ServerServiceName = Installation.serverServiceName;
  GuardianServiceName = Installation.guardianServiceName;
  ServerFound = Installation.Found();
}

void TfrmMain::DiscoverInstallation() {
  SetActivePage(tabStartup);
  ui::SetText(hwnd_, ApplicationTitle());
  ui::SetText(lblTitle, VersionText(ProgramFilePath()));
  ui::Enable(btnChangeRoot, true);
  ui::SetText(PAN_Def_Path, IncludeTrailingDelimiter(ProgramFolder()) + L"Data\\");

  const std::wstring root = ReadRootDirectory();
  if (root.empty()) Fail(*this, txt::NoRegistryEntry);
  ui::SetText(pnlRootDir, root);
  if (!DirectoryExists(root)) Fail(*this, txt::PathNotFound + root);

  SetInstallation(FindInstallation(root, [](const std::wstring& path) { return FileExists(path); }));
  SetServerKind(Installation.kind);
  ui::Enable(btnChangeRoot, Installation.kind != skFirebird);
  if (!ServerFound) Fail(*this, txt::ServerNotFound);
  ui::SetText(lblFBVersion, VersionText(ServerExePath));

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
  OfferElevation(!r && platform_.probes.UserCanBeElevated());

  SetTimerEnabled(true);
  ShowDefaultCursor();
}

}  // namespace vantrel
