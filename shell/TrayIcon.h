#pragma once
// One icon in the notification area: image, tooltip, clicks and a popup menu.
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>

#include "shell/Messages.h"

namespace vantrel {

inline constexpr std::size_t kMaxToolTip = 62;

// The message Explorer broadcasts when it starts again ("TaskbarCreated").
UINT TaskbarCreatedMessage();

class TTrayIcon {
 public:
  // The shell call, replaceable so tests can see the records the shell would receive.
  using NotifyFunction = std::function<BOOL(DWORD message, const NOTIFYICONDATAW& data)>;

  TTrayIcon();
  ~TTrayIcon();
  TTrayIcon(const TTrayIcon&) = delete;
  TTrayIcon& operator=(const TTrayIcon&) = delete;

  bool Active() const { return active_; }
  void SetActive(bool value);
  HICON Icon() const { return icon_; }
  void SetIcon(HICON icon);  // copies the image
  const std::wstring& ToolTip() const { return toolTip_; }
  void SetToolTip(const std::wstring& text);  // keeps the first 62 characters

  std::function<void()> OnClick, OnDblClick;
  std::function<void(int x, int y)> OnRightClick;
  HMENU PopupMenu = nullptr;      // not owned
  HWND PopupMenuOwner = nullptr;  // receives the menu's commands

  HWND Handle() const { return window_; }
  LRESULT WindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void SetNotifyFunction(NotifyFunction notify) { notify_ = std::move(notify); }

 private:
  void Notify(DWORD message);
  NOTIFYICONDATAW BuildRecord() const;
  void ShowPopup();

  HWND window_ = nullptr;
  HICON icon_ = nullptr;  // owned copy
  HICON sourceIcon_ = nullptr;  // the handle it was copied from
  std::wstring toolTip_;
  bool active_ = false;
  NOTIFYICONDATAW lastRecord_{};
  NotifyFunction notify_;
};

}  // namespace vantrel
