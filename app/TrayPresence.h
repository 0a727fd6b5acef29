#pragma once
// The program in the notification area: its icon with the server's state image and tooltip, and
// the icon's menu (open, the server's items, the alias manager and tools, close).
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "shell/Page.h"
#include "shell/TrayIcon.h"

namespace vantrel {

class TTrayPresence {
 public:
  explicit TTrayPresence(HINSTANCE instance);
  ~TTrayPresence();
  TTrayPresence(const TTrayPresence&) = delete;
  TTrayPresence& operator=(const TTrayPresence&) = delete;

  // The menu's fixed items in order; the items after the second separator belong to the caller.
  struct TItems {
    const TAction &open, &start, &stop, &aliasManager, &configTools;
  };
  HMENU BuildMenu(const TItems& items);
  // The restart takes the place of the start and stop items a limited user cannot use.
  void ShowServerItems(bool elevationOffered, const TAction& start, const TAction& stop, const TAction& restart);

  // The icon, told of clicks, its menu owned by owner (which receives the menu's commands).
  // State, tooltip and whether it is in the notification area may be set before it exists.
  void CreateIcon(HWND owner, std::function<void()> onClick);
  void SetActive(bool active);
  // The state images at the DPI of the taskbar's screen, made again after a change of DPI.
  void MakeStateIcons();
  void Show(bool running, const std::wstring& toolTip);

  HMENU Menu() const { return menu_; }
  TTrayIcon* Icon() { return icon_.get(); }
  const std::wstring& ToolTip() const { return toolTip_; }
  HICON Image() const { return !shown_ ? nullptr : running_ ? runningIcon_ : stoppedIcon_; }
  HICON StateIcon(bool running) const { return running ? runningIcon_ : stoppedIcon_; }

 private:
  HINSTANCE instance_;
  HMENU menu_ = nullptr;
  std::unique_ptr<TTrayIcon> icon_;
  HICON runningIcon_ = nullptr, stoppedIcon_ = nullptr;
  bool running_ = false;
  bool shown_ = false;
  bool active_ = false;
  std::wstring toolTip_;
};

}  // namespace vantrel
