#include "remote/TunnelPage.h"

#include "remote/SocketPageTexts.h"
#include "resources/Texts.h"
#include "shell/ControlIds.h"
#include "shell/Controls.h"
#include "shell/Files.h"
#include "shell/TextConv.h"

namespace vantrel {

int PortOfText(const std::wstring& text) { return ParseAliasInteger(ToAnsi(text)).value_or(0); }

TTunnelPage::TTunnelPage(IPageHost& host, TPlainAliasSettings& settings)
    : TPage(host, txt::TabNRV), settings_(settings) {}

void TTunnelPage::CreateControls() {
  using namespace ui;
  HWND p = Handle();
  CHK_Zibidi = CheckBox(p, idZibidi, txt::UseTunnel, {8, 10, 300, 17}, Font());
  Label(p, txt::TunnelPort, {8, 38, 220, 14}, Font());
  filling_ = true;  // the up-down control writes the value it is given into its edit
  ZiBiDi_Portu = SpinEdit(p, idZibidiPort, settings_.ZeeBeeDeePort(), {232, 35, 80, 21}, Font());
  filling_ = false;
  PAN_Def_Path = Panel(p, L"", {8, 70, 300, 21}, Font(), idDefPathPanel);
  Button(p, idDefPath, txt::ChangeRoot, {316, 68, 80, 25}, Font());
  Label(p, socktxt::AdminUserLabel, {8, 104, 60, 14}, Font());
  edtAdminUser = Edit(p, idAdminUser, L"", {70, 101, 110, 21}, Font());
  Label(p, socktxt::AdminPasswordLabel, {196, 104, 44, 14}, Font());
  edtAdminPassword = Edit(p, idAdminPassword, L"", {242, 101, 110, 21}, Font(), ES_PASSWORD);
  ShowSettings();
  ShowAdminLogin();
}

void TTunnelPage::ShowSettings() {
  if (!Created() || filling_) return;
  filling_ = true;
  ui::SetChecked(CHK_Zibidi, settings_.ZeeBeeDee());
  if (PortOfText(ui::GetText(ZiBiDi_Portu)) != settings_.ZeeBeeDeePort())
    ui::SetText(ZiBiDi_Portu, std::to_wstring(settings_.ZeeBeeDeePort()));
  ui::UpdateText(PAN_Def_Path, FromAnsi(settings_.DefaultPath()));
  filling_ = false;
}

bool TTunnelPage::OnCommand(int id, int code, HWND control) {
  if (filling_) return code == EN_CHANGE || code == BN_CLICKED;
  if (id == idZibidi && code == BN_CLICKED) {
    filling_ = true;  // the value comes from this control: nothing to show back
    settings_.SetZeeBeeDee(ui::IsChecked(CHK_Zibidi));
    filling_ = false;
  } else if (id == idZibidiPort && code == EN_CHANGE) {
    filling_ = true;
    settings_.SetZeeBeeDeePort(PortOfText(ui::GetText(ZiBiDi_Portu)));
    filling_ = false;
  } else if (id == idDefPath && code == BN_CLICKED) {
    BTN_Def_PathClick();
    return true;
  } else if (!((id == idAdminUser || id == idAdminPassword) && code == EN_CHANGE)) {
    return false;
  }
  host_.AnyChangeToSettings();
  return true;
}

void TTunnelPage::BTN_Def_PathClick() {
  const std::wstring initialFolder = IncludeTrailingDelimiter(ProgramFolder()) + socktxt::DataFolder;
  std::wstring chosen;
  if (!host_.Sys().dialogs.BrowseForFolder(socktxt::DefaultFolderTitle, L"", initialFolder, chosen) ||
      chosen.empty())
    return;
  settings_.SetDefaultPath(ToAnsi(IncludeTrailingDelimiter(chosen)));
  host_.AnyChangeToSettings();
}

void TTunnelPage::LoadAdminLogin() {
  adminLogin_ = ReadAdminLogin();
  ShowAdminLogin();
}

// The applied login back in the two fields, without counting as a change.
void TTunnelPage::ShowAdminLogin() {
  if (!Created()) return;
  filling_ = true;
  ui::SetText(edtAdminUser, adminLogin_.user);
  ui::SetText(edtAdminPassword, adminLogin_.password);
  filling_ = false;
}

void TTunnelPage::ApplyAdminLogin() {
  if (!Created()) return;  // nothing typed: the fields were never shown
  const TAdminLogin typed{TrimBlanks(ui::GetText(edtAdminUser)), ui::GetText(edtAdminPassword)};
  if (typed.user == adminLogin_.user && typed.password == adminLogin_.password) return;
  if (!WriteAdminLogin(typed)) {
    host_.Sys().dialogs.ShowError(socktxt::LoginNotStored);
    return;
  }
  adminLogin_ = typed;
}

}  // namespace vantrel
