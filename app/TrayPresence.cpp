#include "app/TrayPresence.h"

#include "resources/Texts.h"
#include "shell/ControlIds.h"
#include "shell/Dpi.h"

namespace vantrel {

TTrayPresence::TTrayPresence(HINSTANCE instance) : instance_(instance) {}

TTrayPresence::~TTrayPresence() {
  icon_.reset();
  if (menu_) DestroyMenu(menu_);
  for (HICON icon : {runningIcon_, stoppedIcon_})
    if (icon) DestroyIcon(icon);
}

HMENU TTrayPresence::BuildMenu(const TItems& items) {
  menu_ = CreatePopupMenu();
  AppendMenuW(menu_, MF_STRING, idMenuOpenCPA, items.open.caption.c_str());
  SetMenuDefaultItem(menu_, idMenuOpenCPA, FALSE);
  AppendMenuW(menu_, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu_, MF_STRING, idMenuStartServer, items.start.caption.c_str());
  AppendMenuW(menu_, MF_STRING, idMenuStopServer, items.stop.caption.c_str());
  AppendMenuW(menu_, MF_STRING, idMenuAliasManager, items.aliasManager.caption.c_str());
  AppendMenuW(menu_, MF_STRING, idMenuConfigTools, items.configTools.caption.c_str());
  AppendMenuW(menu_, MF_SEPARATOR, 0, nullptr);
  return menu_;
}

void TTrayPresence::ShowServerItems(bool elevationOffered, const TAction& start, const TAction& stop,
                                    const TAction& restart) {
  for (UINT id : {idMenuStartServer, idMenuStopServer, idMenuRestartElevated}) DeleteMenu(menu_, id, MF_BYCOMMAND);
  constexpr UINT kServerItemsAt = 2;  // after "open" and its separator
  if (elevationOffered) {
    InsertMenuW(menu_, kServerItemsAt, MF_BYPOSITION | MF_STRING, idMenuRestartElevated, restart.caption.c_str());
    return;
  }
  InsertMenuW(menu_, kServerItemsAt, MF_BYPOSITION | MF_STRING, idMenuStartServer, start.caption.c_str());
  InsertMenuW(menu_, kServerItemsAt + 1, MF_BYPOSITION | MF_STRING, idMenuStopServer, stop.caption.c_str());
}

void TTrayPresence::CreateIcon(HWND owner, std::function<void()> onClick) {
  icon_ = std::make_unique<TTrayIcon>();
  icon_->OnClick = std::move(onClick);
  icon_->PopupMenu = menu_;
  icon_->PopupMenuOwner = owner;
  icon_->SetToolTip(shown_ ? toolTip_ : std::wstring(txt::AppTitle));
  if (shown_) icon_->SetIcon(Image());
  icon_->SetActive(active_);
}

void TTrayPresence::SetActive(bool active) {
  active_ = active;
  if (icon_) icon_->SetActive(active);
}

void TTrayPresence::MakeStateIcons() {
  for (HICON icon : {runningIcon_, stoppedIcon_})
    if (icon) DestroyIcon(icon);
  const UINT taskbar = dpi::ForTaskbar();
  stoppedIcon_ = dpi::LoadSmallIcon(instance_, L"ICO_002", taskbar);
  runningIcon_ = dpi::LoadSmallIcon(instance_, L"ICO_001", taskbar);
  if (shown_) Show(running_, toolTip_);
}

void TTrayPresence::Show(bool running, const std::wstring& toolTip) {
  running_ = running;
  shown_ = true;
  toolTip_ = toolTip;
  if (!icon_) return;
  icon_->SetIcon(Image());
  icon_->SetToolTip(toolTip);
}

}  // namespace vantrel
