#pragma once
// A page of the main window: its own panel and controls, the messages of those controls, and
// the actions that work on them. The page talks back to the window only through IPageHost.
#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "shell/Platform.h"

namespace vantrel {

struct TInstallation;  // the server layer's description of the installation in use

// A user command that a button, a menu item and a shortcut may share; the buttons and menu
// items follow its enabled state.
struct TAction {
  std::wstring caption;
  bool enabled = true;
  UINT key = 0;        // virtual key of the shortcut, 0 for none
  BYTE modifiers = 0;  // FALT, FCONTROL, FSHIFT
  std::function<void()> execute;
  std::vector<HWND> buttons;
  UINT menuId = 0;

  void Execute() {
    if (enabled && execute) execute();
  }

  void Bind(const wchar_t* caption_, UINT menuId_, std::function<void()> run, UINT key_ = 0, BYTE modifiers_ = 0) {
    caption = caption_;
    menuId = menuId_;
    execute = std::move(run);
    key = key_;
    modifiers = modifiers_;
  }
};

class IPageHost {
 public:
  virtual ~IPageHost() = default;
  virtual Platform& Sys() = 0;
  virtual HWND Window() const = 0;  // the main window: owner of the pages' dialogs
  virtual HFONT Font(bool bold) const = 0;
  virtual const TInstallation& Installation() const = 0;
  // The pending-changes state every settings page shares.
  virtual void AnyChangeToSettings() = 0;
  virtual bool ChangesPending() const = 0;
  virtual void ApplySettings(bool withSender) = 0;
  // The current page shows what changed behind it (a new alias, say).
  virtual void RefreshCurrentPage() = 0;
  // Ends the program, as the tray menu's exit item does.
  virtual void Quit() = 0;
  // Starts this program again with full rights and ends this instance once that started.
  virtual void RestartElevated() = 0;
};

class TPage {
 public:
  TPage(IPageHost& host, std::wstring caption);
  virtual ~TPage();
  TPage(const TPage&) = delete;
  TPage& operator=(const TPage&) = delete;

  const std::wstring& Caption() const { return caption_; }
  // Null until the page is created: the window creates a page when it is first shown.
  HWND Handle() const { return panel_; }
  bool Created() const { return panel_ != nullptr; }
  void Create(HWND parent, const RECT& area);
  HWND Control(int id) const { return panel_ ? GetDlgItem(panel_, id) : nullptr; }
  // Whether the page is the one in front; the window says so whenever that changes.
  bool Current() const { return current_; }
  void SetCurrent(bool current) { current_ = current; }

  // The page's actions, for the window's shortcuts, and their enabled state for the page being
  // current or not; called whenever the application becomes idle.
  virtual std::vector<TAction*> Actions() { return {}; }
  virtual void UpdateActions(bool current) {}
  // The page became the current one.
  virtual void Activated() {}
  // The popup menu of the page's list, if it has one; its items follow the actions.
  virtual HMENU ContextMenu() const { return nullptr; }
  // The buttons and the items of the menus follow the enabled state of the page's actions.
  void FollowActions(std::initializer_list<HMENU> menus);

  LRESULT WindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

 protected:
  virtual void CreateControls() = 0;
  // A control's command; true when handled.
  virtual bool OnCommand(int id, int code, HWND control) { return false; }
  virtual bool OnNotify(const NMHDR& header) { return false; }
  virtual bool OnContextMenu(HWND target, LPARAM lp) { return false; }
  // A label's own text colour; false for the standard one.
  virtual bool LabelColor(HWND label, COLORREF& color) { return false; }

  // Runs the action of a menu item of one of the page's menus or its buttons.
  bool RunActionOf(UINT menuId, HWND button);
  // Shows a popup menu of the page at a screen point; its commands come back to the page.
  void TrackMenu(HMENU menu, POINT screenPoint);

  IPageHost& host_;
  HFONT Font() const { return host_.Font(false); }
  HFONT BoldFont() const { return host_.Font(true); }

 private:
  std::wstring caption_;
  HWND panel_ = nullptr;
  bool current_ = false;
};

// The point for a list's context menu; lp as WM_CONTEXTMENU brings it. A mouse click brings its
// own point; the menu key or Shift+F10 (lp == -1) opens the menu below itemRect, or at the list's
// corner when nothing is selected (an empty rectangle).
POINT MenuPointFor(HWND list, LPARAM lp, const RECT& selectedItem);

}  // namespace vantrel
