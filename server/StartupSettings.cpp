// Startup settings: the three check boxes of the start page read from and written to the
// machine's services and Run entries, and the Apply step every page shares.
#include "app/Controls.h"
#include "app/fMain.h"
#include "resources/Texts.h"
#include "server/FB_Consts.h"
#include "server/Installation.h"
#include "server/StartupSettings.h"
#include "server/rules/RunEntry.h"
#include "shell/Files.h"
#include "shell/Registry.h"
#include "shell/TextConv.h"

namespace vantrel {
namespace {

constexpr wchar_t kRunKey[] = L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

}  // namespace

void WriteRunEntry(const std::wstring& valueName, const std::wstring& path,
                   const std::wstring& parameters, bool enabled, bool localMachine) {
  RegKey key = RegKey::Open(localMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, kRunKey,
                            KEY_ALL_ACCESS);
  if (!key) return;
  if (enabled)
    key.WriteString(valueName, FromAnsi(BuildRunEntry(ToAnsi(path), ToAnsi(parameters))));
  else
    key.DeleteValue(valueName);
}

std::wstring ReadRunEntryProgram() {
  RegKey key = RegKey::Open(HKEY_LOCAL_MACHINE, kRunKey, KEY_ALL_ACCESS);
  if (!key) return {};
  const auto value = key.ReadString(L"Firebird");
  if (!value) return {};
  const std::wstring program = FromAnsi(RunEntryProgram(ToAnsi(*value)));
  return !program.empty() && FileExists(program) ? program : std::wstring();
}

void WriteGuardianOptions(bool useGuardian) {
  // In the view where the installation wrote its key (the 32-bit one for a 32-bit server).
  if (RegKey key = RegKey::OpenInEitherView(HKEY_LOCAL_MACHINE, kInterBaseKey, KEY_ALL_ACCESS))
    key.WriteString(L"GuardianOptions", useGuardian ? L"1" : L"0");
}

void TfrmMain::ReadStartupSettings() {
  SetCheckBox(cbxService, false);
  ui::Enable(cbxService, platform_.probes.IsWindowsNT());
  SetCheckBox(cbxAutostart, false);
  SetCheckBox(cbxGuardian, false);

  if (platform_.probes.IsWindowsNT()) {
    const ServiceSetup guardian = platform_.services.QueryServiceSetup(GuardianServiceName);
    SetCheckBox(cbxGuardian, guardian.Enabled);
    SetCheckBox(cbxService, guardian.Enabled || guardian.Automatic);
    SetCheckBox(cbxAutostart, guardian.Automatic);
    const ServiceSetup server = platform_.services.QueryServiceSetup(ServerServiceName);
    if (server.Enabled) SetCheckBox(cbxService, true);
    if (server.Automatic) SetCheckBox(cbxAutostart, true);
  }

  const std::wstring program = ReadRunEntryProgram();
  if (!program.empty()) SetCheckBox(cbxAutostart, true);
  const std::wstring& guardianExe = Installation.guardianExeName;
  if (GuardianAvailable && !guardianExe.empty() && program.find(guardianExe) != std::wstring::npos)
    SetCheckBox(cbxGuardian, true);
}

void TfrmMain::ApplyServiceSettings() {
  if (!ui::IsChecked(cbxService)) {
    platform_.services.SetServiceStartType(ServerServiceName, false, false);
    platform_.services.SetServiceStartType(GuardianServiceName, false, false);
    ApplyApplicationSettings();
    return;
  }
  WriteRunEntry(L"Firebird", L"", L"", false, true);
  if (GetServerKind() == skInterBase) WriteGuardianOptions(ui::IsChecked(cbxGuardian));
  const bool autostart = ui::IsChecked(cbxAutostart);
  if (ui::IsChecked(cbxGuardian)) {
    platform_.services.SetServiceStartType(ServerServiceName, true, false);
    platform_.services.SetServiceStartType(GuardianServiceName, true, autostart);
  } else {
    platform_.services.SetServiceStartType(GuardianServiceName, false, false);
    platform_.services.SetServiceStartType(ServerServiceName, true, autostart);
  }
}

void TfrmMain::ApplyApplicationSettings() {
  const std::wstring& program = ui::IsChecked(cbxGuardian) ? Installation.guardianExe : Installation.serverExe;
  WriteRunEntry(L"Firebird", program, L"-a", ui::IsChecked(cbxAutostart), true);
  if (GetServerKind() == skInterBase) WriteGuardianOptions(ui::IsChecked(cbxGuardian));
}

void TfrmMain::ApplySettings(bool withSender) {
  if (platform_.probes.IsWindowsNT())
    ApplyServiceSettings();
  else
    ApplyApplicationSettings();

  if (!ServerWindowExists() && !ServerServiceRunning() && !GuardianWindowExists() &&
      ui::IsChecked(cbxAutostart)) {
    if (!withSender || platform_.dialogs.AskConfirmation(txt::StartServerNow) == AnswerYes)
      StartServer();
  }
  if (CanAdminister()) SaveAliasFile();
  RebuildTrayToolsMenu();
  ApplyAdminLogin();
  WriteRunEntry(L"Vantrel", ProgramFilePath(), L"-tray", ui::IsChecked(cbxShowTrayIcon), false);
  ui::Enable(btnApply, false);
  ui::SetText(btnCancel, txt::Close);
}

}  // namespace vantrel
