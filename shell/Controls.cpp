#include "shell/Controls.h"

#include <commctrl.h>

#include <climits>

namespace vantrel::ui {
namespace {

HWND Create(const wchar_t* cls, HWND parent, int id, const std::wstring& text, DWORD style,
            DWORD exStyle, Rect r, HFONT font) {
  HWND hwnd = CreateWindowExW(exStyle, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, r.x, r.y,
                              r.w, r.h, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              GetModuleHandleW(nullptr), nullptr);
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return hwnd;
}

}  // namespace

HFONT CreateWindowFont(int weight) {
  HDC screen = GetDC(nullptr);
  const int height = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, TURKISH_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
}

HWND Label(HWND parent, const std::wstring& text, Rect r, HFONT font, DWORD extraStyle, int id) {
  return Create(L"STATIC", parent, id, text, SS_LEFT | SS_NOPREFIX | extraStyle, 0, r, font);
}

HWND Button(HWND parent, int id, const std::wstring& text, Rect r, HFONT font, DWORD extraStyle) {
  return Create(L"BUTTON", parent, id, text, WS_TABSTOP | BS_PUSHBUTTON | extraStyle, 0, r, font);
}

HWND CheckBox(HWND parent, int id, const std::wstring& text, Rect r, HFONT font) {
  return Create(L"BUTTON", parent, id, text, WS_TABSTOP | BS_AUTOCHECKBOX, 0, r, font);
}

HWND Edit(HWND parent, int id, const std::wstring& text, Rect r, HFONT font, DWORD extraStyle) {
  return Create(L"EDIT", parent, id, text, WS_TABSTOP | ES_AUTOHSCROLL | extraStyle,
                WS_EX_CLIENTEDGE, r, font);
}

HWND SpinEdit(HWND parent, int id, int value, Rect r, HFONT font) {
  HWND edit = Edit(parent, id, std::to_wstring(value), r, font);
  HWND updown = CreateWindowExW(0, UPDOWN_CLASSW, nullptr,
                                WS_CHILD | WS_VISIBLE | UDS_ALIGNRIGHT | UDS_SETBUDDYINT |
                                    UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                                0, 0, 0, 0, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(updown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
  SendMessageW(updown, UDM_SETRANGE32, static_cast<WPARAM>(INT_MIN), INT_MAX);
  SendMessageW(updown, UDM_SETPOS32, 0, value);
  return edit;
}

HWND Panel(HWND parent, const std::wstring& text, Rect r, HFONT font, int id) {
  return Create(L"STATIC", parent, id, text, SS_LEFT | SS_NOPREFIX | SS_SUNKEN | SS_CENTERIMAGE |
                                                 SS_PATHELLIPSIS,
                0, r, font);
}

HWND ListBox(HWND parent, int id, Rect r, HFONT font) {
  return Create(L"LISTBOX", parent, id, L"",
                WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE, r,
                font);
}

HWND ReportListView(HWND parent, int id, Rect r, HFONT font, DWORD extraExStyle) {
  HWND lv = Create(WC_LISTVIEWW, parent, id, L"",
                   WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE, r,
                   font);
  ListView_SetExtendedListViewStyle(lv, LVS_EX_FULLROWSELECT | extraExStyle);
  return lv;
}

void AddListViewColumn(HWND listView, int index, const std::wstring& caption, int width) {
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT | LVCF_WIDTH;
  col.pszText = const_cast<wchar_t*>(caption.c_str());
  col.cx = width;
  ListView_InsertColumn(listView, index, &col);
}

std::wstring GetText(HWND control) {
  int n = GetWindowTextLengthW(control);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  GetWindowTextW(control, text.data(), n + 1);
  text.resize(static_cast<size_t>(n));
  return text;
}

void SetText(HWND control, const std::wstring& text) { SetWindowTextW(control, text.c_str()); }
void UpdateText(HWND control, const std::wstring& text) {
  if (GetText(control) != text) SetWindowTextW(control, text.c_str());
}
bool IsChecked(HWND checkBox) { return SendMessageW(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void SetChecked(HWND checkBox, bool checked) {
  SendMessageW(checkBox, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}
void Enable(HWND control, bool enabled) { EnableWindow(control, enabled ? TRUE : FALSE); }
bool IsEnabled(HWND control) { return IsWindowEnabled(control) != FALSE; }
void Show(HWND control, bool visible) { ShowWindow(control, visible ? SW_SHOWNA : SW_HIDE); }

}  // namespace vantrel::ui
