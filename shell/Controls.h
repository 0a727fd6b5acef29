#pragma once
// Small helpers that create the standard controls with the window's font. Every rectangle is in
// 96-DPI design units; the control is placed at the DPI of its window (shell/Dpi.h).
#include <windows.h>

#include <string>

namespace vantrel::ui {

struct Rect {
  int x, y, w, h;
};

// The program's font: "MS Sans Serif" 8 pt at the given DPI, Turkish character set; the caller
// owns it.
HFONT CreateWindowFont(int weight, UINT dpi);

HWND Label(HWND parent, const std::wstring& text, Rect r, HFONT font, DWORD extraStyle = 0,
           int id = -1);
HWND Button(HWND parent, int id, const std::wstring& text, Rect r, HFONT font, DWORD extraStyle = 0);
HWND CheckBox(HWND parent, int id, const std::wstring& text, Rect r, HFONT font);
HWND Edit(HWND parent, int id, const std::wstring& text, Rect r, HFONT font, DWORD extraStyle = 0);
// An edit with an up-down buddy and no range limits.
HWND SpinEdit(HWND parent, int id, int value, Rect r, HFONT font);
HWND Panel(HWND parent, const std::wstring& text, Rect r, HFONT font, int id = -1);  // sunken
HWND ListBox(HWND parent, int id, Rect r, HFONT font, DWORD extraStyle = 0);
// A drop-down list (no edit field); r's height is that of the opened list.
HWND ComboBox(HWND parent, int id, Rect r, HFONT font);
// Lets a list box with a horizontal scroll bar scroll to the end of its longest item.
void FitHorizontalExtent(HWND listBox);
HWND ReportListView(HWND parent, int id, Rect r, HFONT font, DWORD extraExStyle = 0);
// width in design units.
void AddListViewColumn(HWND listView, int index, const std::wstring& caption, int width);

std::wstring GetText(HWND control);
void SetText(HWND control, const std::wstring& text);
// Writes the text only when it differs: a write repaints (and for edits notifies) even when
// nothing changed, and the status labels are set every second.
void UpdateText(HWND control, const std::wstring& text);
// The text a refreshed control was last given, for controls only one refresh writes: comparing
// with it asks the control nothing (asking is a round of window messages, each through the
// window system's server under Wine, every second for the life of the program).
class TShownText {
 public:
  void Show(HWND control, const std::wstring& text) {
    if (control == control_ && text == shown_) return;
    SetWindowTextW(control, text.c_str());
    control_ = control;
    shown_ = text;
  }

 private:
  HWND control_ = nullptr;
  std::wstring shown_;
};
bool IsChecked(HWND checkBox);
// Sets the check mark only: no click handling runs.
void SetChecked(HWND checkBox, bool checked);
void Enable(HWND control, bool enabled);
bool IsEnabled(HWND control);
void Show(HWND control, bool visible);

// A tooltip over one control (a label needs SS_NOTIFY to be hovered); lines break at CR LF. The
// tooltip window belongs to the control's parent and goes with it.
HWND ToolTip(HWND control, const std::wstring& text);
void SetToolTipText(HWND toolTip, HWND control, const std::wstring& text);

}  // namespace vantrel::ui
