#include "shell/ModalDialog.h"

#include <algorithm>

#include "shell/Controls.h"
#include "shell/Dpi.h"
#include "shell/Messages.h"
#include "shell/Window.h"

namespace vantrel {
namespace {

constexpr wchar_t kDialogClass[] = L"TVantrelDialog";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

}  // namespace

TModalDialog::TModalDialog(HWND owner, const std::wstring& caption, int clientWidth,
                           int clientHeight, int minWidth, int minHeight)
    : owner_(owner), clientWidth_(clientWidth), clientHeight_(clientHeight), minWidth_(minWidth), minHeight_(minHeight),
      fonts_(owner ? dpi::ForWindow(owner) : dpi::SystemDpi()) {
  RegisterWindowClassFor<TModalDialog>({kDialogClass, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)});
  hwnd_ = CreateOwnedWindow(kDialogClass, this, kExStyle, caption.c_str(), kStyle,
                            dpi::FrameAround(clientWidth, clientHeight, kStyle, kExStyle, Dpi()), owner);
  dpi::CentreOver(hwnd_, owner);
}

void TModalDialog::Place(HWND control, const ui::Rect& design) const { dpi::Place(control, design, Dpi()); }

void TModalDialog::ChangeDpi(UINT dpi, const RECT& suggested) {
  fonts_.Rescale(hwnd_, dpi);
  // The new size comes with WM_SIZE, which places the controls for the new DPI.
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

TModalDialog::~TModalDialog() {
  DestroyOwnedWindow(hwnd_);
}

void TModalDialog::SetDefaultButton(int id) { defaultId_ = id; }

TModalDialog::Result TModalDialog::ShowModal() {
  result_ = mrNone;
  running_ = true;
  const bool ownerWasEnabled = owner_ && IsWindowEnabled(owner_);
  if (ownerWasEnabled) EnableWindow(owner_, FALSE);
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  MSG msg;
  while (running_) {
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // leave the quit for the main loop
      result_ = mrCancel;
      break;
    }
    if (IsDialogMessageW(hwnd_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (ownerWasEnabled) EnableWindow(owner_, TRUE);
  ShowWindow(hwnd_, SW_HIDE);
  if (owner_) SetForegroundWindow(owner_);
  return result_;
}

void TModalDialog::EndModal(Result result) {
  result_ = result;
  running_ = false;
  PostMessageW(hwnd_, WM_NULL, 0, 0);  // wake the loop
}

// Posted, so it arrives inside the modal loop after the window has been shown and activated.
void TModalDialog::FocusWhenShown(HWND edit) {
  PostMessageW(hwnd_, WMAPP_FOCUSEDIT, reinterpret_cast<WPARAM>(edit), 0);
}

LRESULT TModalDialog::OnColor(HDC dc, HWND) {
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT TModalDialog::WindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (!hwnd_) hwnd_ = hwnd;  // messages arrive before CreateWindowEx returns
  switch (msg) {
    case DM_GETDEFID: {
      // Enter presses a focused push button, as in any dialog, else the default button.
      HWND focus = GetFocus();
      if (focus && IsChild(hwnd_, focus) &&
          (SendMessageW(focus, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
        return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
      return MAKELRESULT(defaultId_, DC_HASDEFID);
    }
    case WM_COMMAND: {
      const int id = LOWORD(wp);
      HWND control = reinterpret_cast<HWND>(lp);
      if (OnCommand(id, HIWORD(wp), control)) return 0;
      if (id == IDCANCEL) EndModal(mrCancel);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return OnColor(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_SIZE:
      OnResize(dpi::Unscale(LOWORD(lp), Dpi()), dpi::Unscale(HIWORD(lp), Dpi()));
      return 0;
    case WM_GETMINMAXINFO: {
      // Never more than the size the dialog opens with, whatever frame the system draws.
      RECT window{}, client{};
      GetWindowRect(hwnd, &window);
      GetClientRect(hwnd, &client);
      const int openWidth = window.right - window.left - client.right + dpi::Scale(clientWidth_, Dpi());
      const int openHeight = window.bottom - window.top - client.bottom + dpi::Scale(clientHeight_, Dpi());
      auto* info = reinterpret_cast<MINMAXINFO*>(lp);
      info->ptMinTrackSize = {std::min(dpi::Scale(minWidth_, Dpi()), openWidth),
                              std::min(dpi::Scale(minHeight_, Dpi()), openHeight)};
      return 0;
    }
    case WM_NCCREATE:
      dpi::EnableNonClientScaling(hwnd);
      return DefWindowProcW(hwnd, msg, wp, lp);
    case WM_DPICHANGED:
      ChangeDpi(HIWORD(wp), *reinterpret_cast<const RECT*>(lp));
      return 0;
    case WM_CLOSE:
      EndModal(mrCancel);
      return 0;
    case WMAPP_FOCUSEDIT: {
      HWND edit = reinterpret_cast<HWND>(wp);
      SetFocus(edit);
      SendMessageW(edit, EM_SETSEL, 0, -1);
      return 0;
    }
    default:
      return DefWindowProcW(hwnd_, msg, wp, lp);
  }
}

}  // namespace vantrel
