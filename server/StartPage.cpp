// The start page's controls, its check boxes as one startup choice, and the elevated restart.
#include "server/StartPage.h"

#include <commctrl.h>

#include "resources/Texts.h"
#include "server/uFileVersion.h"
#include "shell/ControlIds.h"
#include "shell/Busy.h"
#include "shell/Controls.h"
#include "shell/Dpi.h"
#include "shell/Files.h"
#include "shell/OsError.h"
#include "shell/TextConv.h"
#include "shell/rules/TextRules.h"

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

// The page's rows: as designed with one installation; with several, the list takes the top row
// and the rest moves closer together beneath it.
namespace startlayout {
struct TRows {
  ui::Rect version, guardianTitle, guardianState, serverTitle, serverState, attachmentsTitle, attachments, dependents,
      restart, autostart, service, guardian, startStop;
};
constexpr TRows kOne{{8, 4, 390, 14},   {8, 22, 120, 14},  {130, 22, 200, 14}, {8, 38, 120, 14},  {130, 38, 200, 14},
                     {8, 54, 120, 14},  {130, 54, 268, 14}, {8, 70, 184, 14},  {196, 68, 202, 21}, {8, 90, 300, 17},
                     {8, 107, 300, 17}, {8, 124, 300, 17}, {318, 114, 80, 25}};
constexpr TRows kSeveral{{8, 24, 390, 14},  {8, 38, 120, 14},  {130, 38, 200, 14}, {8, 52, 120, 14},
                         {130, 52, 200, 14}, {8, 66, 120, 14},  {130, 66, 268, 14}, {8, 80, 184, 14},
                         {196, 77, 202, 19}, {8, 96, 300, 16},  {8, 112, 300, 16}, {8, 128, 300, 16},
                         {318, 117, 80, 25}};
constexpr ui::Rect kInstallationList{8, 2, 390, 120};
}  // namespace startlayout

void TStartPage::CreateControls() {
  using namespace ui;
  using startlayout::kOne;
  HWND p = Handle();
  lblFBVersion = Label(p, L"", kOne.version, BoldFont(), 0, idFBVersion);
  guardianTitle_ = Label(p, txt::GuardianTitle, kOne.guardianTitle, Font());
  lblGuardianState = Label(p, L"", kOne.guardianState, BoldFont(), 0, idGuardianState);
  serverTitle_ = Label(p, txt::ServerTitle, kOne.serverTitle, Font());
  lblServerState = Label(p, L"", kOne.serverState, BoldFont(), 0, idServerState);
  attachmentsTitle_ = Label(p, txt::AttachmentsTitle, kOne.attachmentsTitle, Font());
  lblAttachments = Label(p, L"", kOne.attachments, BoldFont(), SS_NOTIFY | SS_ENDELLIPSIS, idAttachments);
  ShowAttachmentsLine();
  lblDependentServices = Label(p, L"", kOne.dependents, Font(), 0, idDependentServices);
  btnRestartElevated = Button(p, idRestartElevated, txt::RestartElevated, kOne.restart, Font());
  SendMessageW(btnRestartElevated, BCM_SETSHIELD, 0, TRUE);
  Show(btnRestartElevated, elevationOffered_);
  acRestartElevated.buttons = {btnRestartElevated};
  cbxAutostart = CheckBox(p, idAutostart, txt::Autostart, kOne.autostart, Font());
  cbxService = CheckBox(p, idService, txt::AsService, kOne.service, Font());
  cbxGuardian = CheckBox(p, idGuardian, txt::UseGuardian, kOne.guardian, Font());
  btnStartStop = Button(p, idStartStop, txt::Start, kOne.startStop, Font());
  ShowChoice();
  LayOutForInstallations();
}

void TStartPage::ShowInstallations(std::vector<std::wstring> labels, std::size_t chosen, std::wstring warning) {
  installationLabels_ = std::move(labels);
  chosen_ = chosen;
  instanceWarning_ = std::move(warning);
  LayOutForInstallations();
}

// With one installation the page stays exactly as designed: no list, no warning line.
void TStartPage::LayOutForInstallations() {
  if (!Created()) return;
  const bool several = installationLabels_.size() > 1;
  if (several && !cbxInstallation) {
    cbxInstallation = ui::ComboBox(Handle(), idInstallation, startlayout::kInstallationList, Font());
  }
  if (cbxInstallation) {
    SendMessageW(cbxInstallation, CB_RESETCONTENT, 0, 0);
    for (const std::wstring& label : installationLabels_)
      SendMessageW(cbxInstallation, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label.c_str()));
    SendMessageW(cbxInstallation, CB_SETCURSEL, static_cast<WPARAM>(chosen_), 0);
    ui::Show(cbxInstallation, several);
  }
  // The controls are made in the rows for one installation; they move only when that changes.
  if (several != laidOutForSeveral_) {
    laidOutForSeveral_ = several;
    PlaceRows(several);
  }
  ShowWarningLine();
}

void TStartPage::PlaceRows(bool several) {
  const startlayout::TRows& rows = several ? startlayout::kSeveral : startlayout::kOne;
  const UINT dpi = dpi::ForWindow(Handle());
  for (auto [control, rect] : {std::pair{lblFBVersion, rows.version}, std::pair{guardianTitle_, rows.guardianTitle},
                               std::pair{lblGuardianState, rows.guardianState}, std::pair{serverTitle_, rows.serverTitle},
                               std::pair{lblServerState, rows.serverState},
                               std::pair{attachmentsTitle_, rows.attachmentsTitle},
                               std::pair{lblAttachments, rows.attachments}, std::pair{lblDependentServices, rows.dependents},
                               std::pair{btnRestartElevated, rows.restart}, std::pair{cbxAutostart, rows.autostart},
                               std::pair{cbxService, rows.service}, std::pair{cbxGuardian, rows.guardian},
                               std::pair{btnStartStop, rows.startStop}})
    dpi::Place(control, rect, dpi);
}

// The warnings take the version's row: the list's entry already names the version.
void TStartPage::ShowWarningLine() {
  if (!Created()) return;
  std::wstring text = instanceWarning_;
  if (!runNote_.empty()) text += (text.empty() ? L"" : L" ") + runNote_;
  const bool shown = installationLabels_.size() > 1 && !text.empty();
  if (shown && !lblInstanceWarning)
    lblInstanceWarning = ui::Label(Handle(), L"", startlayout::kSeveral.version, BoldFont(), SS_ENDELLIPSIS,
                                   idInstanceWarning);
  if (lblInstanceWarning) {
    ui::SetText(lblInstanceWarning, text);
    ui::Show(lblInstanceWarning, shown);
  }
  ui::Show(lblFBVersion, !shown);
}

void TStartPage::InstallationPicked() {
  const LRESULT picked = SendMessageW(cbxInstallation, CB_GETCURSEL, 0, 0);
  if (picked < 0 || static_cast<std::size_t>(picked) == chosen_) return;
  if (ApplicationBusy() || !onInstallationChosen || !onInstallationChosen(static_cast<std::size_t>(picked)))
    SendMessageW(cbxInstallation, CB_SETCURSEL, static_cast<WPARAM>(chosen_), 0);
}

bool TStartPage::OnCommand(int id, int code, HWND control) {
  if (id == idInstallation && code == CBN_SELCHANGE) {
    InstallationPicked();
    return true;
  }
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
  else if (label == lblInstanceWarning) color = kRed;
  else if (label == lblGuardianState || label == lblServerState || label == lblAttachments) color = kRed;
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
  if (attachments_) attachments_->Forget();
  std::wstring version = VersionText(Installation().serverExe);
  if (installationLabels_.size() > 1 && !Installation().instanceName.empty())
    version += L" \u2014 " + Installation().instanceName;
  ui::SetText(lblFBVersion, version);
  RefreshServerState();
  ReadStartupSettings();
}

void TStartPage::ShowDependentServices() {
  if (!Sys().probes.IsWindowsNT()) return;
  TServiceList dependents;
  const bool listed = Sys().services.ListDependentServices(Installation().serverServiceName, true, dependents);
  if (listed) {
    ui::SetText(lblDependentServices,
                FormatCounts(txt::DependentServicesFmt, {static_cast<long long>(dependents.Count())}));
  }
  ui::Show(lblDependentServices, listed);
}

// The line is there only while there is something to say: a running server's numbers or why
// they are unknown.
void TStartPage::ShowAttachments(const std::wstring& value, const std::wstring& detail) {
  if (value == attachmentsValue_ && detail == attachmentsDetail_) return;
  attachmentsValue_ = value;
  attachmentsDetail_ = detail;
  ShowAttachmentsLine();
  TellState();
}

void TStartPage::ShowAttachmentsLine() {
  if (!Created()) return;
  ui::UpdateText(lblAttachments, attachmentsValue_);
  // The tooltip (a window of its own) is made with the first detail, not with the page.
  if (!attachmentsTip_ && !attachmentsDetail_.empty()) attachmentsTip_ = ui::ToolTip(lblAttachments, L"");
  ui::SetToolTipText(attachmentsTip_, lblAttachments, attachmentsDetail_);
  ui::Show(attachmentsTitle_, !attachmentsValue_.empty());
  ui::Show(lblAttachments, !attachmentsValue_.empty());
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
