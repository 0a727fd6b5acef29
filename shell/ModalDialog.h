#pragma once
// A dialog window laid out in code and shown modally over its owner: Enter presses the default
// button, Escape and the close box cancel, the owner is disabled while it is open.
#include <windows.h>

#include <string>

#include "shell/Dpi.h"

#include "shell/Controls.h"

namespace vantrel {

class TModalDialog {
 public:
  enum Result { mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL };

  // Sizes in 96-DPI design units; the dialog is laid out at the DPI of its screen.
  TModalDialog(HWND owner, const std::wstring& caption, int clientWidth, int clientHeight,
               int minWidth, int minHeight);
  virtual ~TModalDialog();
  TModalDialog(const TModalDialog&) = delete;
  TModalDialog& operator=(const TModalDialog&) = delete;

  HWND Handle() const { return hwnd_; }
  HFONT Font() const { return fonts_.Normal(); }
  HFONT BoldFont() const { return fonts_.Bold(); }
  UINT Dpi() const { return fonts_.Dpi(); }

  // Shows the dialog centred on the screen and runs its own message loop until it is closed;
  // returns the closing result.
  Result ShowModal();
  void EndModal(Result result);
  Result ModalResult() const { return result_; }

  LRESULT WindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

 protected:
  // A control's command (button click, edit change ...). Return true when handled.
  virtual bool OnCommand(int id, int code, HWND control) { return false; }
  // The client area's size in design units: the dialog places its controls with Place.
  virtual void OnResize(int clientWidth, int clientHeight) {}
  void Place(HWND control, const ui::Rect& design) const;
  virtual LRESULT OnColor(HDC dc, HWND control);
  // The default button (Enter) and its id; IDCANCEL is the cancel button (Escape).
  void SetDefaultButton(int id);
  // Before ShowModal: the edit gets the focus, its text selected, once the dialog is up.
  void FocusWhenShown(HWND edit);

 private:
  void ChangeDpi(UINT dpi, const RECT& suggested);

  HWND owner_;
  HWND hwnd_ = nullptr;
  int clientWidth_, clientHeight_;  // design units, as the dialog opens
  int minWidth_, minHeight_;        // design units, of the whole window
  dpi::TWindowFonts fonts_;  // the owner's screen decides, as the dialog opens over it
  int defaultId_ = IDOK;
  Result result_ = mrNone;
  bool running_ = false;
};

}  // namespace vantrel
