// The tools page, the tool items of the tray menu and the launcher.
#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/ControlIds.h"
#include "app/fMain.h"
#include "shell/Application.h"
#include "shell/Files.h"
#include "shell/OsError.h"
#include "shell/TextConv.h"
#include "shell/uConfig.h"
#include "tools/ToolEntry.h"
#include "tools/ToolTexts.h"
#include "tools/fTools.h"

namespace vantrel {
namespace {

namespace text = txt::tools;

constexpr UINT_PTR kToolListSubclassId = 1;

class HourglassCursor {
 public:
  HourglassCursor() { ShowHourglass(); }
  ~HourglassCursor() { ShowDefaultCursor(); }
  HourglassCursor(const HourglassCursor&) = delete;
  HourglassCursor& operator=(const HourglassCursor&) = delete;
};

// The tool lines as the portable rules see them: bytes of the ANSI code page.
std::vector<std::string> AnsiToolLines() {
  std::vector<std::string> lines;
  for (const std::wstring& line : Config().Tools().Lines()) lines.push_back(ToAnsi(line));
  return lines;
}

std::wstring TitleOfLine(const std::wstring& line) {
  const std::size_t eq = line.find(L'=');
  return eq == std::wstring::npos ? std::wstring() : line.substr(0, eq);
}

bool IsSeparator(HMENU menu, int position) {
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_FTYPE;
  return GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info) &&
         (info.fType & MFT_SEPARATOR) != 0;
}

// The fixed items end with the tray menu's second separator; what follows is rebuilt.
int FixedTrayItemCount(HMENU menu) {
  const int count = GetMenuItemCount(menu);
  int separators = 0;
  for (int i = 0; i < count; ++i)
    if (IsSeparator(menu, i) && ++separators == 2) return i + 1;
  return count;
}

bool MenuItemCaption(HMENU menu, UINT id, std::wstring& caption) {
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_STRING;
  if (!GetMenuItemInfoW(menu, id, FALSE, &info)) return false;
  caption.assign(info.cch + 1, L'\0');
  info.dwTypeData = caption.data();
  info.cch = static_cast<UINT>(caption.size());
  if (!GetMenuItemInfoW(menu, id, FALSE, &info)) return false;
  caption.resize(info.cch);
  return true;
}

// Quoted when it holds a blank, so that any program receives it as one argument.
std::wstring AsOneArgument(const std::wstring& path) {
  return path.find(L' ') == std::wstring::npos ? path : L"\"" + path + L"\"";
}

LRESULT CALLBACK ToolListProc(HWND list, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* form = reinterpret_cast<TfrmMain*>(data);
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      // The list's own handling picks the last line for a click below it; correct that afterwards.
      const LRESULT result = DefSubclassProc(list, msg, wp, lp);
      form->lbxToolsMouseDown(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      return result;
    }
    case WM_LBUTTONDBLCLK:
      // Before the list reports the double click, so empty space launches nothing.
      form->lbxToolsMouseDown(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      return DefSubclassProc(list, msg, wp, lp);
    case WM_NCDESTROY:
      RemoveWindowSubclass(list, ToolListProc, kToolListSubclassId);
      return DefSubclassProc(list, msg, wp, lp);
    default:
      return DefSubclassProc(list, msg, wp, lp);
  }
}

// Entry position attached to the selected line of the list; -1 when none is selected.
int SelectedToolPosition(HWND list) {
  const LRESULT line = SendMessageW(list, LB_GETCURSEL, 0, 0);
  if (line == LB_ERR) return -1;
  return static_cast<int>(SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(line), 0));
}

bool IsToolPosition(int position) {
  return position >= 0 && static_cast<std::size_t>(position) < Config().Tools().Count();
}

}  // namespace

void TfrmMain::AddDefaultTool() {
  const std::string title = ToAnsi(text::DefaultToolTitle);
  if (FindToolByTitle(AnsiToolLines(), title) >= 0) return;
  Config().Tools().Add(FromAnsi(
      FormatToolEntry(title, ToAnsi(text::DefaultToolProgram), ToAnsi(text::DefaultToolParams))));
}

void TfrmMain::RebuildTrayToolsMenu() {
  for (int i = GetMenuItemCount(pmSysTray) - 1, fixed = FixedTrayItemCount(pmSysTray); i >= fixed; --i)
    DeleteMenu(pmSysTray, static_cast<UINT>(i), MF_BYPOSITION);
  const auto& lines = Config().Tools().Lines();
  for (std::size_t i = 0; i < lines.size(); ++i)
    AppendMenuW(pmSysTray, MF_STRING, kFirstTrayToolId + i, TitleOfLine(lines[i]).c_str());
  if (!lines.empty()) AppendMenuW(pmSysTray, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(pmSysTray, MF_STRING, idMenuCloseCPA, acCloseCPA.caption.c_str());
}

void TfrmMain::FillToolsList() {
  SetWindowSubclass(lbxTools, ToolListProc, kToolListSubclassId, reinterpret_cast<DWORD_PTR>(this));
  const LRESULT selected = SendMessageW(lbxTools, LB_GETCURSEL, 0, 0);
  SendMessageW(lbxTools, LB_RESETCONTENT, 0, 0);
  const auto& lines = Config().Tools().Lines();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::wstring title = TitleOfLine(lines[i]);
    const LRESULT line = SendMessageW(lbxTools, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(title.c_str()));
    if (line >= 0) SendMessageW(lbxTools, LB_SETITEMDATA, static_cast<WPARAM>(line), static_cast<LPARAM>(i));
  }
  if (selected != LB_ERR && selected < SendMessageW(lbxTools, LB_GETCOUNT, 0, 0))
    SendMessageW(lbxTools, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

void TfrmMain::LaunchTool(int index) {
  if (!IsToolPosition(index)) return;
  const TToolEntry entry = ReadToolEntry(AnsiToolLines(), static_cast<std::size_t>(index), ToolUse::Launch);
  const std::wstring program = FromAnsi(entry.program);
  const std::wstring parameters =
      IsServerLogPlaceholder(entry.params)
          ? AsOneArgument(Installation.serverLog)
          : FromAnsi(entry.params);
  std::uint32_t error = 0;
  bool started;
  {
    HourglassCursor wait;
    started = Sys().launcher.ShellOpen(program, parameters, std::wstring(), SW_SHOWNORMAL, error);
  }
  if (!started) Sys().dialogs.ShowError(SystemErrorText(error));
}

void TfrmMain::TrayToolClick(UINT menuId) {
  std::wstring caption;
  if (!MenuItemCaption(pmSysTray, menuId, caption)) return;
  std::erase(caption, L'&');
  const int first = FindToolByTitle(AnsiToolLines(), ToAnsi(caption));
  if (first >= 0) LaunchTool(first);
}

void TfrmMain::acAddToolsExecute() {
  {
    TfrmTools dialog(hwnd_, Sys().dialogs);
    dialog.SetToolTitle(std::wstring());
    dialog.SetToolProgram(std::wstring());
    dialog.SetToolParams(std::wstring());
    dialog.EditIndex = -1;
    dialog.SetToolList(&Config().Tools().Lines());
    if (dialog.Execute())
      Config().Tools().Add(FromAnsi(ToolEntryFromAdd(ToAnsi(dialog.ToolTitle()),
                                                     ToAnsi(dialog.ToolProgram()),
                                                     ToAnsi(dialog.ToolParams()))));
  }
  FillToolsList();
  RebuildTrayToolsMenu();
}

void TfrmMain::acEditToolsExecute() {
  const int index = SelectedToolPosition(lbxTools);
  if (!IsToolPosition(index)) return;
  const TToolEntry entry = ReadToolEntry(AnsiToolLines(), static_cast<std::size_t>(index), ToolUse::Edit);
  {
    TfrmTools dialog(hwnd_, Sys().dialogs);
    dialog.SetToolTitle(FromAnsi(entry.title));
    dialog.SetToolProgram(FromAnsi(entry.program));
    dialog.SetToolParams(FromAnsi(entry.params));
    dialog.EditIndex = index;
    dialog.SetToolList(&Config().Tools().Lines());
    if (!dialog.Execute()) return;
    Config().Tools().Set(static_cast<std::size_t>(index),
                         FromAnsi(ToolEntryFromEdit(ToAnsi(dialog.ToolTitle()),
                                                    ToAnsi(dialog.ToolProgram()),
                                                    ToAnsi(dialog.ToolParams()))));
  }
  FillToolsList();
  RebuildTrayToolsMenu();
}

void TfrmMain::acDeleteToolsExecute() {
  const LRESULT line = SendMessageW(lbxTools, LB_GETCURSEL, 0, 0);
  const int index = SelectedToolPosition(lbxTools);
  if (line == LB_ERR || !IsToolPosition(index)) return;
  std::wstring title(static_cast<std::size_t>(SendMessageW(lbxTools, LB_GETTEXTLEN, line, 0)) + 1, L'\0');
  title.resize(static_cast<std::size_t>(
      SendMessageW(lbxTools, LB_GETTEXT, line, reinterpret_cast<LPARAM>(title.data()))));
  if (Sys().dialogs.AskConfirmation(FormatText(text::ConfirmDeleteFmt, title)) != AnswerYes) return;
  Config().Tools().Delete(static_cast<std::size_t>(index));
  FillToolsList();
  RebuildTrayToolsMenu();
}

void TfrmMain::acLaunchToolsExecute() {
  const int index = SelectedToolPosition(lbxTools);
  if (index >= 0) LaunchTool(index);
}

void TfrmMain::lbxToolsMouseDown(int x, int y) {
  RECT client{};
  const POINT point{x, y};
  // A menu opened from the keyboard reports no point inside the list: keep the selection.
  if (!GetClientRect(lbxTools, &client) || !PtInRect(&client, point)) return;
  const LRESULT count = SendMessageW(lbxTools, LB_GETCOUNT, 0, 0);
  const LRESULT hit = SendMessageW(lbxTools, LB_ITEMFROMPOINT, 0, MAKELPARAM(x, y));
  int line = LOWORD(hit);
  RECT bounds{};
  if (line >= count || SendMessageW(lbxTools, LB_GETITEMRECT, static_cast<WPARAM>(line),
                                    reinterpret_cast<LPARAM>(&bounds)) == LB_ERR ||
      !PtInRect(&bounds, point))
    line = -1;
  SendMessageW(lbxTools, LB_SETCURSEL, static_cast<WPARAM>(line), 0);
}

}  // namespace vantrel
