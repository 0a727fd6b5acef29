#include "tools/ToolsPage.h"

#include <commctrl.h>
#include <windowsx.h>

#include <cstdint>
#include <string>
#include <vector>

#include "resources/Texts.h"
#include "server/Installation.h"
#include "shell/ControlIds.h"
#include "shell/Controls.h"
#include "shell/Application.h"
#include "shell/Files.h"
#include "shell/OsError.h"
#include "shell/TextConv.h"
#include "shell/rules/TextRules.h"
#include "shell/uConfig.h"
#include "tools/ToolEntry.h"
#include "tools/ToolTexts.h"
#include "tools/fTools.h"

namespace vantrel {
namespace {

namespace text = txt::tools;

constexpr UINT_PTR kToolListSubclassId = 1;

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

TToolsPage::TToolsPage(IPageHost& host) : TPage(host, txt::TabTools) {
  acAddTools.Bind(txt::AddTool, idMenuAddTools, [this] { acAddToolsExecute(); }, VK_INSERT);
  acEditTools.Bind(txt::EditTool, idMenuEditTools, [this] { acEditToolsExecute(); }, VK_RETURN, FALT);
  acDeleteTools.Bind(txt::DeleteTool, idMenuDeleteTools, [this] { acDeleteToolsExecute(); }, VK_DELETE, FCONTROL);
  acLaunchTools.Bind(txt::LaunchTool, idMenuLaunchTools, [this] { acLaunchToolsExecute(); }, VK_RETURN);
  pmTools = CreatePopupMenu();
  for (const TAction* action : {&acAddTools, &acEditTools, &acDeleteTools})
    AppendMenuW(pmTools, MF_STRING, action->menuId, action->caption.c_str());
  AppendMenuW(pmTools, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(pmTools, MF_STRING, acLaunchTools.menuId, acLaunchTools.caption.c_str());
}

TToolsPage::~TToolsPage() { DestroyMenu(pmTools); }

void TToolsPage::CreateControls() {
  using namespace ui;
  HWND p = Handle();
  Label(p, txt::ToolsHeading, {8, 6, 200, 14}, Font());
  lbxTools = ListBox(p, idToolList, {8, 22, 288, 118}, Font());
  SetWindowSubclass(lbxTools, ToolListProc, kToolListSubclassId, reinterpret_cast<DWORD_PTR>(this));
  acAddTools.buttons = {Button(p, idAddTools, txt::AddTool, {304, 22, 94, 23}, Font())};
  acDeleteTools.buttons = {Button(p, idDeleteTools, txt::DeleteTool, {304, 48, 94, 23}, Font())};
  acEditTools.buttons = {Button(p, idEditTools, txt::EditTool, {304, 74, 94, 23}, Font())};
  acLaunchTools.buttons = {Button(p, idLaunchTool, txt::LaunchToolButton, {304, 117, 94, 23}, Font())};
}

LRESULT CALLBACK TToolsPage::ToolListProc(HWND list, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* page = reinterpret_cast<TToolsPage*>(data);
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      // The list's own handling picks the last line for a click below it; correct that afterwards.
      const LRESULT result = DefSubclassProc(list, msg, wp, lp);
      page->lbxToolsMouseDown(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      return result;
    }
    case WM_LBUTTONDBLCLK:
      // Before the list reports the double click, so empty space launches nothing.
      page->lbxToolsMouseDown(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      return DefSubclassProc(list, msg, wp, lp);
    case WM_NCDESTROY:
      RemoveWindowSubclass(list, ToolListProc, kToolListSubclassId);
      return DefSubclassProc(list, msg, wp, lp);
    default:
      return DefSubclassProc(list, msg, wp, lp);
  }
}

void TToolsPage::Activated() {
  FillToolsList();
  if (SendMessageW(lbxTools, LB_GETCOUNT, 0, 0) > 0) SendMessageW(lbxTools, LB_SETCURSEL, 0, 0);
  SetFocus(lbxTools);
}

void TToolsPage::UpdateActions(bool current) {
  const bool selected = Created() && SendMessageW(lbxTools, LB_GETCURSEL, 0, 0) != LB_ERR;
  acAddTools.enabled = current;
  acEditTools.enabled = acDeleteTools.enabled = acLaunchTools.enabled = current && selected;
}

bool TToolsPage::OnCommand(int id, int code, HWND control) {
  if (id != idToolList || code != LBN_DBLCLK) return false;
  acLaunchTools.Execute();
  return true;
}

bool TToolsPage::OnContextMenu(HWND target, LPARAM lp) {
  if (target != lbxTools) return false;
  const POINT at = ContextMenuPoint(lp);
  if (lp != -1) {  // a click selects the line it hits first
    POINT client = at;
    ScreenToClient(lbxTools, &client);
    lbxToolsMouseDown(client.x, client.y);
  }
  UpdateActions(Current());
  FollowActions({pmTools});
  TrackMenu(pmTools, at);
  return true;
}

POINT TToolsPage::ContextMenuPoint(LPARAM lp) const {
  RECT item{};
  const LRESULT selected = SendMessageW(lbxTools, LB_GETCURSEL, 0, 0);
  if (selected != LB_ERR) SendMessageW(lbxTools, LB_GETITEMRECT, selected, reinterpret_cast<LPARAM>(&item));
  return MenuPointFor(lbxTools, lp, item);
}

void TToolsPage::SetTrayMenu(HMENU trayMenu, UINT exitId, std::wstring exitCaption) {
  trayMenu_ = trayMenu;
  exitId_ = exitId;
  exitCaption_ = std::move(exitCaption);
}

void TToolsPage::AddDefaultTool() {
  const std::string title = ToAnsi(text::DefaultToolTitle);
  if (FindToolByTitle(AnsiToolLines(), title) >= 0) return;
  Config().Tools().Add(FromAnsi(
      FormatToolEntry(title, ToAnsi(text::DefaultToolProgram), ToAnsi(text::DefaultToolParams))));
}

void TToolsPage::RebuildTrayToolsMenu() {
  if (!trayMenu_) return;
  for (int i = GetMenuItemCount(trayMenu_) - 1, fixed = FixedTrayItemCount(trayMenu_); i >= fixed; --i)
    DeleteMenu(trayMenu_, static_cast<UINT>(i), MF_BYPOSITION);
  const auto& lines = Config().Tools().Lines();
  for (std::size_t i = 0; i < lines.size(); ++i)
    AppendMenuW(trayMenu_, MF_STRING, kFirstTrayToolId + i, TitleOfLine(lines[i]).c_str());
  if (!lines.empty()) AppendMenuW(trayMenu_, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(trayMenu_, MF_STRING, exitId_, exitCaption_.c_str());
}

void TToolsPage::FillToolsList() {
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

void TToolsPage::LaunchTool(int index) {
  if (!IsToolPosition(index)) return;
  const TToolEntry entry = ReadToolEntry(AnsiToolLines(), static_cast<std::size_t>(index), ToolUse::Launch);
  const std::wstring program = FromAnsi(entry.program);
  const std::wstring parameters =
      IsServerLogPlaceholder(entry.params)
          ? AsOneArgument(host_.Installation().serverLog)
          : FromAnsi(entry.params);
  std::uint32_t error = 0;
  bool started;
  {
    TCursorGuard hourglass;
    started = host_.Sys().launcher.ShellOpen(program, parameters, std::wstring(), SW_SHOWNORMAL, error);
  }
  if (!started) host_.Sys().dialogs.ShowError(SystemErrorText(error));
}

void TToolsPage::TrayToolClick(UINT menuId) {
  std::wstring caption;
  if (!MenuItemCaption(trayMenu_, menuId, caption)) return;
  std::erase(caption, L'&');
  const int first = FindToolByTitle(AnsiToolLines(), ToAnsi(caption));
  if (first >= 0) LaunchTool(first);
}

void TToolsPage::acAddToolsExecute() {
  {
    TfrmTools dialog(host_.Window(), host_.Sys().dialogs);
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

void TToolsPage::acEditToolsExecute() {
  const int index = SelectedToolPosition(lbxTools);
  if (!IsToolPosition(index)) return;
  const TToolEntry entry = ReadToolEntry(AnsiToolLines(), static_cast<std::size_t>(index), ToolUse::Edit);
  {
    TfrmTools dialog(host_.Window(), host_.Sys().dialogs);
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

void TToolsPage::acDeleteToolsExecute() {
  const LRESULT line = SendMessageW(lbxTools, LB_GETCURSEL, 0, 0);
  const int index = SelectedToolPosition(lbxTools);
  if (line == LB_ERR || !IsToolPosition(index)) return;
  std::wstring title(static_cast<std::size_t>(SendMessageW(lbxTools, LB_GETTEXTLEN, line, 0)) + 1, L'\0');
  title.resize(static_cast<std::size_t>(
      SendMessageW(lbxTools, LB_GETTEXT, line, reinterpret_cast<LPARAM>(title.data()))));
  if (host_.Sys().dialogs.AskConfirmation(FormatText(text::ConfirmDeleteFmt, title)) != AnswerYes) return;
  Config().Tools().Delete(static_cast<std::size_t>(index));
  FillToolsList();
  RebuildTrayToolsMenu();
}

void TToolsPage::acLaunchToolsExecute() {
  const int index = SelectedToolPosition(lbxTools);
  if (index >= 0) LaunchTool(index);
}

void TToolsPage::lbxToolsMouseDown(int x, int y) {
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
