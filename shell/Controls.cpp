#include "shell/Controls.h"

#include <commctrl.h>

#include <climits>

#include "shell/Dpi.h"

namespace vantrel::ui {
namespace {

// r is in design units: the control is placed at the DPI of the window it is on.
HWND Create(const wchar_t* cls, HWND parent, int id, const std::wstring& text, DWORD style,
            DWORD exStyle, Rect r, HFONT font) {
  // Made at its place: a move after creation costs every control another round of messages.
  const RECT at = dpi::ScaledPlace(r, dpi::ForWindow(parent));
  HWND hwnd = CreateWindowExW(exStyle, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, at.left, at.top,
                              at.right - at.left, at.bottom - at.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  dpi::RememberDesignRect(hwnd, r);
  return hwnd;
}

}  // namespace

HFONT CreateWindowFont(int weight, UINT dpi) {
  const int height = -MulDiv(8, static_cast<int>(dpi), 72);
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

// The arrows take the right end of the rectangle; both are placed from design units, so a change
// of DPI places them again side by side.
HWND SpinEdit(HWND parent, int id, int value, Rect r, HFONT font) {
  constexpr int kArrowsWidth = 16;
  HWND edit = Edit(parent, id, std::to_wstring(value), {r.x, r.y, r.w - kArrowsWidth, r.h}, font);
  HWND updown = CreateWindowExW(0, UPDOWN_CLASSW, nullptr,
                                WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0, 0, 0,
                                0, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  dpi::Place(updown, {r.x + r.w - kArrowsWidth, r.y, kArrowsWidth, r.h}, dpi::ForWindow(parent));
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

HWND ListBox(HWND parent, int id, Rect r, HFONT font, DWORD extraStyle) {
  return Create(L"LISTBOX", parent, id, L"",
                WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | extraStyle, WS_EX_CLIENTEDGE, r,
                font);
}

HWND ComboBox(HWND parent, int id, Rect r, HFONT font) {
  return Create(WC_COMBOBOXW, parent, id, L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, r, font);
}

void FitHorizontalExtent(HWND listBox) {
  HDC dc = GetDC(listBox);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(listBox, WM_GETFONT, 0, 0)));
  int widest = 0;
  const int count = static_cast<int>(SendMessageW(listBox, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    const int length = static_cast<int>(SendMessageW(listBox, LB_GETTEXTLEN, i, 0));
    if (length <= 0) continue;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(listBox, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), length, &size);
    widest = size.cx > widest ? size.cx : widest;
  }
  SelectObject(dc, old);
  ReleaseDC(listBox, dc);
  // A few pixels for the item's inner margin.
  SendMessageW(listBox, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 6), 0);
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
  col.cx = dpi::Scale(width, dpi::ForWindow(listView));
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

namespace {
TTTOOLINFOW ToolInfo(HWND control, const std::wstring& text) {
  TTTOOLINFOW info{};
  info.cbSize = sizeof info;
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = GetParent(control);
  info.uId = reinterpret_cast<UINT_PTR>(control);
  info.lpszText = const_cast<wchar_t*>(text.c_str());
  return info;
}
}  // namespace

HWND ToolTip(HWND control, const std::wstring& text) {
  HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, GetParent(control), nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  if (!tip) return nullptr;
  // Any width at all makes the tooltip break lines at CR LF; the screen's width is the limit.
  SendMessageW(tip, TTM_SETMAXTIPWIDTH, 0, GetSystemMetrics(SM_CXSCREEN));
  TTTOOLINFOW info = ToolInfo(control, text);
  SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  return tip;
}

void SetToolTipText(HWND toolTip, HWND control, const std::wstring& text) {
  if (!toolTip) return;
  TTTOOLINFOW info = ToolInfo(control, text);
  SendMessageW(toolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

}  // namespace vantrel::ui
