// The start page's controls, its check boxes as one startup choice, and the elevated restart.
#include "server/StartPage.h"

#include <commctrl.h>

#include "resources/Texts.h"
#include "server/uFileVersion.h"
#include "shell/ControlIds.h"
#include "shell/Busy.h"
#include "shell/Controls.h"
#include "shell/Files.h"
#include "shell/OsError.h"
#include "shell/TextConv.h"

namespace vantrel {
namespace {

constexpr COLORREF kNavy = RGB(0, 0, 128);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kMaroon = RGB(128, 0, 0);

}  // namespace

TStartPage::TStartPage(IPageHost& host) : TPage(host, txt::TabStartup) {
  acStartServer.Bind(txt::StartServer, idMenuStartServer, [this] { RunAlone([this] { StartServer(); }); });
  acStopServer.Bind(txt::StopServer, idMenuStopServer, [this] { RunAlone([this] { StopServerAndReport(); }); });
  acRestartElevated.Bind(txt::RestartElevated, idMenuRestartElevated, [this] { acRestartElevatedExecute(); });
}

void TStartPage::CreateControls() {
  using namespace ui;
  HWND p = Handle();
  lblFBVersion = Label(p, L"", {8, 6, 390, 14}, BoldFont(), 0, idFBVersion);
  Label(p, txt::GuardianTitle, {8, 26, 120, 14}, Font());
  lblGuardianState = Label(p, L"", {130, 26, 200, 14}, BoldFont(), 0, idGuardianState);
  Label(p, txt::ServerTitle, {8, 44, 120, 14}, Font());
  lblServerState = Label(p, L"", {130, 44, 200, 14}, BoldFont(), 0, idServerState);
  lblDependentServices = Label(p, L"", {8, 62, 184, 14}, Font(), 0, idDependentServices);
  btnRestartElevated = Button(p, idRestartElevated, txt::RestartElevated, {196, 56, 202, 24}, Font());
  SendMessageW(btnRestartElevated, BCM_SETSHIELD, 0, TRUE);
  Show(btnRestartElevated, elevationOffered_);
  acRestartElevated.buttons = {btnRestartElevated};
  cbxAutostart = CheckBox(p, idAutostart, txt::Autostart, {8, 82, 300, 17}, Font());
  cbxService = CheckBox(p, idService, txt::AsService, {8, 101, 300, 17}, Font());
  cbxGuardian = CheckBox(p, idGuardian, txt::UseGuardian, {8, 120, 300, 17}, Font());
  btnStartStop = Button(p, idStartStop, txt::Start, {318, 112, 80, 25}, Font());
  ShowChoice();
}

bool TStartPage::OnCommand(int id, int code, HWND control) {
  if (code != BN_CLICKED) return false;
  switch (id) {
    case idStartStop:
      btnStartStopClick();
      return true;
    case idAutostart:
    case idService:
    case idGuardian:
      if (ApplicationBusy()) {  // held while a start or stop waits
        ShowChoice();
        return true;
      }
      choice_ = {ui::IsChecked(cbxAutostart), ui::IsChecked(cbxService), ui::IsChecked(cbxGuardian)};
      host_.AnyChangeToSettings();
      return true;
    default:
      return false;
  }
}

bool TStartPage::LabelColor(HWND label, COLORREF& color) {
  if (label == lblFBVersion) color = kNavy;
  else if (label == lblGuardianState || label == lblServerState) color = kRed;
  else if (label == lblDependentServices) color = kMaroon;
  else return false;
  return true;
}

void TStartPage::SetChoice(const TStartupChoice& choice) {
  if (choice == choice_) return;
  choice_ = choice;
  ShowChoice();
  host_.AnyChangeToSettings();
}

void TStartPage::ShowChoice() {
  if (!Created()) return;
  for (auto [box, checked] : {std::pair{cbxAutostart, choice_.autostart}, std::pair{cbxService, choice_.service},
                              std::pair{cbxGuardian, choice_.guardian}})
    ui::SetChecked(box, checked);
}

void TStartPage::InstallationFound(bool guardianAvailable) {
  guardianAvailable_ = guardianAvailable;
  ui::SetText(lblFBVersion, VersionText(Installation().serverExe));
  if (Sys().probes.IsWindowsNT()) {
    TServiceList dependents;
    const bool listed = Sys().services.ListDependentServices(Installation().serverServiceName, true, dependents);
    if (listed) {
      std::wstring text = txt::DependentServicesFmt;
      text.replace(text.find(L"%d"), 2, std::to_wstring(dependents.Count()));
      ui::SetText(lblDependentServices, text);
    }
    ui::Show(lblDependentServices, listed);
  }
  RefreshServerState();
  ReadStartupSettings();
}

void TStartPage::EnableControls() {
  const bool admin = CanAdminister();
  const bool nt = Sys().probes.IsWindowsNT();
  ui::Enable(cbxAutostart, admin);
  ui::Enable(cbxService, admin && nt);
  ui::Enable(cbxGuardian, admin && guardianAvailable_);
  ui::Enable(btnStartStop, admin);
  OfferElevation(!admin && Sys().probes.UserCanBeElevated());
}

void TStartPage::OfferElevation(bool offer) {
  elevationOffered_ = offer;
  ui::Show(btnRestartElevated, offer);
  if (onElevationOffered) onElevationOffered(offer);
}

void TStartPage::acRestartElevatedExecute() { host_.RestartElevated(); }

}  // namespace vantrel
