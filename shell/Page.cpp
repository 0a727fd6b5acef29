#include "shell/Page.h"

#include <windowsx.h>

#include <algorithm>

#include "shell/Controls.h"
#include "shell/OsError.h"
#include "shell/Window.h"

namespace vantrel {
namespace {

constexpr wchar_t kPageClass[] = L"TTabSheet";

}  // namespace

TPage::TPage(IPageHost& host, std::wstring caption) : host_(host), caption_(std::move(caption)) {}

TPage::~TPage() { DestroyOwnedWindow(panel_); }

void TPage::Create(HWND parent, const RECT& area) {
  if (panel_) return;
  RegisterWindowClassFor<TPage>({kPageClass, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)});
  panel_ = CreateOwnedWindow(kPageClass, this, WS_EX_CONTROLPARENT, caption_.c_str(),
                             WS_CHILD | WS_CLIPSIBLINGS, area, parent);
  SetWindowPos(panel_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  CreateControls();
}

bool TPage::RunActionOf(UINT menuId, HWND button) {
  for (TAction* action : Actions()) {
    const bool byMenu = button == nullptr && menuId != 0 && action->menuId == menuId;
    const bool byButton =
        button && std::find(action->buttons.begin(), action->buttons.end(), button) != action->buttons.end();
    if (byMenu || byButton) {
      action->Execute();
      return true;
    }
  }
  return false;
}

void TPage::FollowActions(std::initializer_list<HMENU> menus) {
  for (TAction* action : Actions()) {
    for (HWND button : action->buttons)
      if (ui::IsEnabled(button) != action->enabled) ui::Enable(button, action->enabled);
    const UINT state = MF_BYCOMMAND | (action->enabled ? MF_ENABLED : MF_GRAYED);
    for (HMENU menu : menus)
      if (menu) EnableMenuItem(menu, action->menuId, state);
  }
}

void TPage::TrackMenu(HMENU menu, POINT at) {
  TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, panel_, nullptr);
}

LRESULT TPage::WindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND: {
      // Errors that reach the top of a user's action are shown once.
      HWND control = reinterpret_cast<HWND>(lp);
      try {
        if (!control && RunActionOf(LOWORD(wp), nullptr)) return 0;
        if (control && HIWORD(wp) == BN_CLICKED && RunActionOf(0, control)) return 0;
        if (OnCommand(LOWORD(wp), HIWORD(wp), control)) return 0;
      } catch (...) {
        host_.Sys().dialogs.ShowError(CaughtErrorText());
      }
      return 0;
    }
    case WM_NOTIFY:
      try {
        if (OnNotify(*reinterpret_cast<NMHDR*>(lp))) return 0;
      } catch (...) {
        host_.Sys().dialogs.ShowError(CaughtErrorText());
        return 0;
      }
      break;
    case WM_NCDESTROY:
      panel_ = nullptr;
      break;
    case WM_CONTEXTMENU:
      if (OnContextMenu(reinterpret_cast<HWND>(wp), lp)) return 0;
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      HDC dc = reinterpret_cast<HDC>(wp);
      COLORREF color;
      if (LabelColor(reinterpret_cast<HWND>(lp), color)) SetTextColor(dc, color);
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

POINT MenuPointFor(HWND list, LPARAM lp, const RECT& selectedItem) {
  if (lp != -1) return {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  POINT pt{selectedItem.left, selectedItem.bottom};
  ClientToScreen(list, &pt);
  return pt;
}

}  // namespace vantrel
