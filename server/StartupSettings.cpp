// Startup settings: the start page's choice read from and written to the machine's services,
// its Run value and the guardian option.
#include "server/StartPage.h"
#include "shell/Controls.h"
#include "resources/Texts.h"
#include "server/FB_Consts.h"
#include "server/Installation.h"
#include "server/StartupSettings.h"
#include "server/rules/Instances.h"
#include "server/rules/RunEntry.h"
#include "shell/rules/TextRules.h"
#include "server/rules/StartupChoice.h"
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

// The one Run value "Firebird" of the machine when it starts another installation's program;
// empty when it is this installation's, absent, or there is only one installation.
std::wstring TStartPage::ForeignRunProgram() const {
  if (installationLabels_.size() < 2) return {};
  const std::wstring program = ReadRunEntryProgram();
  return !program.empty() && !PathIsInFolder(program, Installation().rootDir) ? program : std::wstring();
}

void TStartPage::ReadStartupSettings() {
  const bool nt = Sys().probes.IsWindowsNT();
  const std::wstring foreign = ForeignRunProgram();
  runNote_ = foreign.empty() ? std::wstring() : FormatText(txt::RunValueOfOtherFmt, foreign);
  ShowWarningLine();
  ui::Enable(cbxService, nt);
  ServiceSetup guardian, server;
  if (nt) {
    guardian = Sys().services.QueryServiceSetup(Installation().guardianServiceName);
    server = Sys().services.QueryServiceSetup(Installation().serverServiceName);
  }
  // Another installation's autostart is not this one's.
  SetChoice(ReadStartupChoice(nt, guardian, server, foreign.empty() ? ReadRunEntryProgram() : std::wstring(),
                              Installation().guardianExeName, guardianAvailable_));
}

TStartupPlan TStartPage::Plan() const {
  return PlanStartup(choice_, host_.Sys().probes.IsWindowsNT(), GetServerKind(), Installation().serverExe,
                     Installation().guardianExe);
}

void TStartPage::ApplyServiceSettings() {
  const TStartupPlan plan = Plan();
  for (const TStartTypeChange& change : plan.startTypes) {
    const std::wstring& service = change.service == ServerRole::Server ? Installation().serverServiceName
                                                                       : Installation().guardianServiceName;
    Sys().services.SetServiceStartType(service, change.enabled, change.automatic);
  }
  WriteRunValue(plan);
}

void TStartPage::ApplyApplicationSettings() { WriteRunValue(Plan()); }

// Services leave the Run value deleted; applications have it name the program to start.
// Another installation's Run value is never deleted on this one's behalf, and replaced only when
// the user says so.
void TStartPage::WriteRunValue(const TStartupPlan& plan) {
  const std::wstring foreign = ForeignRunProgram();
  const bool write = foreign.empty() ||
                     (!plan.runProgram.empty() &&
                      Sys().dialogs.AskConfirmation(FormatText(txt::ReplaceRunValueFmt, foreign)) == AnswerYes);
  if (write) WriteRunEntry(kServerRunEntry, plan.runProgram, L"-a", !plan.runProgram.empty(), true);
  if (plan.writeGuardianOption) WriteGuardianOptions(plan.guardianOption);
}

void TStartPage::ApplyStartupSettings(bool withSender, bool mayStart) {
  if (Sys().probes.IsWindowsNT())
    ApplyServiceSettings();
  else
    ApplyApplicationSettings();
  if (mayStart && !ServerWindowExists() && !ServerServiceRunning() && !GuardianWindowExists() && choice_.autostart) {
    if (!withSender || Sys().dialogs.AskConfirmation(txt::StartServerNow) == AnswerYes)
      RunAlone([this] { StartServer(); });
  }
}

}  // namespace vantrel
