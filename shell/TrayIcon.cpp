#include "shell/TrayIcon.h"

#include "shell/Busy.h"

#include "shell/Application.h"
#include "shell/DelayLoad.h"
#include "shell/Window.h"

namespace vantrel {
namespace {

constexpr wchar_t kTrayWindowClass[] = L"TTrayIconWindow";
constexpr UINT kFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;  // 7

}  // namespace

TTrayIcon::TTrayIcon() {
  TaskbarCreatedMessage();  // registered before the window can be sent it
  RegisterWindowClassFor<TTrayIcon>({kTrayWindowClass});
  window_ = CreateOwnedWindow(kTrayWindowClass, this, 0, L"", WS_POPUP, {}, nullptr);
  // Run with full rights, the program would not hear a normal Explorer's restart otherwise.
  using FilterFn = BOOL WINAPI(HWND, UINT, DWORD, void*);
  if (auto* filter = LoadedFunction<FilterFn>(L"user32.dll", "ChangeWindowMessageFilterEx"))
    filter(window_, TaskbarCreatedMessage(), 1 /* MSGFLT_ALLOW */, nullptr);
  notify_ = [](DWORD message, const NOTIFYICONDATAW& data) {
    return Shell_NotifyIconW(message, const_cast<NOTIFYICONDATAW*>(&data));
  };
}

TTrayIcon::~TTrayIcon() {
  if (active_) Notify(NIM_DELETE);
  if (icon_) DestroyIcon(icon_);
  DestroyOwnedWindow(window_);
}

NOTIFYICONDATAW TTrayIcon::BuildRecord() const {
  NOTIFYICONDATAW data{};
  // The version 5.0 layout without the GUID and balloon-icon fields.
  data.cbSize = NOTIFYICONDATAW_V2_SIZE;
  data.hWnd = window_;
  data.uID = 0;
  data.uFlags = kFlags;
  data.uCallbackMessage = WM_TRAYICON_CALLBACK;
  data.hIcon = icon_;
  lstrcpynW(data.szTip, toolTip_.c_str(), ARRAYSIZE(data.szTip));
  return data;
}

void TTrayIcon::Notify(DWORD message) {
  if (message != NIM_DELETE) lastRecord_ = BuildRecord();
  if (notify_) notify_(message, lastRecord_);
}

void TTrayIcon::SetActive(bool value) {
  if (value == active_) return;
  active_ = value;
  if (active_) {
    Notify(NIM_ADD);
    if (toolTip_.empty()) PostMessageW(window_, WM_TRAYICON_RETIP, 0, 0);
  } else {
    Notify(NIM_DELETE);
  }
}

void TTrayIcon::SetIcon(HICON icon) {
  // Compared with the handle given last time: icon_ is our own copy of it.
  if (icon == sourceIcon_) return;
  sourceIcon_ = icon;
  if (icon_) DestroyIcon(icon_);
  icon_ = icon ? CopyIcon(icon) : nullptr;
  if (active_) Notify(NIM_MODIFY);
}

void TTrayIcon::SetToolTip(const std::wstring& text) {
  std::wstring cut = text.substr(0, kMaxToolTip);
  if (cut == toolTip_) return;
  toolTip_ = std::move(cut);
  if (active_) Notify(NIM_MODIFY);
}

void TTrayIcon::ShowPopup() {
  POINT pt;
  GetCursorPos(&pt);
  if (PopupMenu) {
    HWND owner = PopupMenuOwner ? PopupMenuOwner : ApplicationHandle();
    SetForegroundWindow(owner);
    ProcessMessages();
    TrackPopupMenuEx(PopupMenu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, owner, nullptr);
    PostMessageW(owner, WM_NULL, 0, 0);
  }
  if (OnRightClick) OnRightClick(pt.x, pt.y);
}

// Explorer sends this to every top-level window when it starts again; the icons it showed are gone.
UINT TaskbarCreatedMessage() {
  static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
  return message;
}

LRESULT TTrayIcon::WindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == TaskbarCreatedMessage() && msg != 0) {
    if (active_) Notify(NIM_ADD);  // the same image and tooltip as before
    return 0;
  }
  if (msg == WM_TRAYICON_RETIP) {
    // Writes the unchanged tooltip again, which the setter itself would skip.
    if (active_) Notify(NIM_MODIFY);
    return 0;
  }
  if (msg != WM_TRAYICON_CALLBACK) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (lp) {
    case WM_LBUTTONUP:
      if (OnClick) OnClick();
      break;
    case WM_LBUTTONDBLCLK:
      if (OnDblClick) OnDblClick();
      break;
    case WM_RBUTTONUP:
      // The menu's own loop would run its commands in the middle of a start or stop that waits.
      if (!ApplicationBusy()) ShowPopup();
      break;
    default:
      break;
  }
  return 0;
}

}  // namespace vantrel
