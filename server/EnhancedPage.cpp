#include "server/EnhancedPage.h"

#include "resources/Texts.h"
#include "shell/ControlIds.h"
#include "shell/Controls.h"

namespace vantrel {

TEnhancedPage::TEnhancedPage(IPageHost& host, TStartPage& server)
    : TPage(host, txt::TabEnhanced), server_(server) {}

void TEnhancedPage::CreateControls() {
  using namespace ui;
  HWND p = Handle();
  Label(p, txt::RootDirLabel, {8, 12, 80, 14}, Font());
  pnlRootDir = Panel(p, rootText_, {8, 28, 300, 21}, Font(), idRootDir);
  btnChangeRoot = Button(p, idChangeRoot, txt::ChangeRoot, {316, 26, 80, 25}, Font());
  Enable(btnChangeRoot, rootChangeable_);
  cbxShowTrayIcon = CheckBox(p, idShowTrayIcon, txt::ShowTrayIcon, {8, 70, 390, 17}, Font());
  SetChecked(cbxShowTrayIcon, showTrayIcon_);
}

bool TEnhancedPage::OnCommand(int id, int code, HWND control) {
  if (code != BN_CLICKED) return false;
  if (id == idChangeRoot) {
    btnChangeRootClick();
    return true;
  }
  if (id == idShowTrayIcon) {
    cbxShowTrayIconClick(ui::IsChecked(cbxShowTrayIcon));
    return true;
  }
  return false;
}

void TEnhancedPage::ShowRootDirectory(const std::wstring& root, bool changeable) {
  rootText_ = root;
  rootChangeable_ = changeable;
  if (!Created()) return;
  ui::SetText(pnlRootDir, root);
  ui::Enable(btnChangeRoot, changeable);
}

void TEnhancedPage::SetShowTrayIcon(bool show) {
  if (show == showTrayIcon_) return;
  if (Created()) ui::SetChecked(cbxShowTrayIcon, show);
  cbxShowTrayIconClick(show);
}

void TEnhancedPage::cbxShowTrayIconClick(bool checked) {
  showTrayIcon_ = checked;
  if (onShowTrayIconChanged) onShowTrayIconChanged(checked);
  host_.AnyChangeToSettings();
}

}  // namespace vantrel
