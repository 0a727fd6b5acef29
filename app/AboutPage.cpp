#include "app/AboutPage.h"

#include "resources/Texts.h"
#include "shell/Application.h"
#include "shell/ControlIds.h"
#include "shell/Controls.h"

namespace vantrel {

TAboutPage::TAboutPage(IPageHost& host) : TPage(host, txt::TabAbout) {}

void TAboutPage::CreateControls() {
  using namespace ui;
  lblTitle = Label(Handle(), title_, {8, 8, 390, 14}, BoldFont(), 0, idTitle);
  Label(Handle(), txt::FirebirdProjectLink, {8, 30, 390, 14}, Font(), SS_NOTIFY, idFirebirdLink);
}

void TAboutPage::SetTitle(const std::wstring& title) {
  title_ = title;
  if (Created()) ui::SetText(lblTitle, title);
}

bool TAboutPage::OnCommand(int id, int code, HWND control) {
  if (id != idFirebirdLink || code != STN_CLICKED) return false;
  URLClick(control);
  return true;
}

void TAboutPage::URLClick(HWND link) {
  const std::wstring target = ui::GetText(link);
  if (target.empty()) return;
  TCursorGuard starting(TCursorGuard::AppStarting);
  std::uint32_t ignored = 0;
  host_.Sys().launcher.ShellOpen(target, L"", L"", SW_SHOWNORMAL, ignored);
}

}  // namespace vantrel
