// The alias page: the alias entries of the alias list, and adding, changing and deleting them
// through the alias editor. Changes stay in the list until the next save of the alias file.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <iterator>

#include "aliases/AliasTexts.h"
#include "aliases/DatabasesConf.h"
#include "aliases/fAlias.h"
#include "app/fMain.h"
#include "shell/TextConv.h"

namespace vantrel {
namespace {

constexpr int kNameColumn = 0;
constexpr int kPathColumn = 1;
constexpr int kMinWidthForFit = 100;

int SelectedItem(HWND list) { return ListView_GetNextItem(list, -1, LVNI_SELECTED); }

int LineIndexOf(HWND list, int item) {
  LVITEMW data{};
  data.mask = LVIF_PARAM;
  data.iItem = item;
  return ListView_GetItem(list, &data) ? static_cast<int>(data.lParam) : -1;
}

std::wstring ItemCaption(HWND list, int item) {
  wchar_t buffer[1024] = {};
  ListView_GetItemText(list, item, kNameColumn, buffer, static_cast<int>(std::size(buffer)));
  return buffer;
}

void AddItem(HWND list, const TAliasEntry& entry, int line) {
  std::wstring name = FromAnsi(entry.name), path = FromAnsi(entry.path);
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = ListView_GetItemCount(list);
  item.pszText = name.data();
  item.lParam = line;
  const int at = ListView_InsertItem(list, &item);
  if (at >= 0) ListView_SetItemText(list, at, kPathColumn, path.data());
}

int ClientWidth(HWND list) {
  RECT client{};
  GetClientRect(list, &client);
  return client.right - client.left;
}

// The path column takes the width the name column leaves. A negative width would mean
// "fit to the contents" to the list view, so it stops at zero.
void FitPathColumn(HWND list) {
  const int width = ClientWidth(list) - ListView_GetColumnWidth(list, kNameColumn);
  ListView_SetColumnWidth(list, kPathColumn, std::max(0, width));
}

}  // namespace

void TfrmMain::RefreshAliasList() {
  ListView_DeleteAllItems(lvAlias);
  for (const TListedAlias& alias : Aliases.ListedAliases()) AddItem(lvAlias, alias.entry, alias.line);
  if (ClientWidth(lvAlias) > kMinWidthForFit) FitPathColumn(lvAlias);
}

void TfrmMain::acAddAliasExecute() {
  TfrmAlias dialog(hwnd_, platform_.dialogs);
  dialog.SetAliasName(txt::alias::NewAliasName);
  dialog.SetDatabase(L"");
  dialog.AliasList = &Aliases;
  dialog.EditIndex = -1;
  if (!dialog.Execute()) return;
  Aliases.AddLine(ToAnsi(dialog.AliasName()) + "=" + ToAnsi(dialog.Database()));
  RefreshAliasList();
  AnyChangeToSettings();
}

void TfrmMain::acEditAliasExecute() {
  const int item = SelectedItem(lvAlias);
  if (item < 0) return;
  const int line = LineIndexOf(lvAlias, item);
  if (line < 0 || line >= Aliases.LineCount()) return;

  TfrmAlias dialog(hwnd_, platform_.dialogs);
  if (Aliases.Rules() == AliasFileRules::DatabasesConf) {
    const auto entry = DatabasesConfEntryOf(Aliases.LineAt(line));
    dialog.SetAliasName(entry ? FromAnsi(entry->name) : L"");
    dialog.SetDatabase(entry ? FromAnsi(entry->path) : L"");
  } else {
    dialog.SetAliasName(FromAnsi(Aliases.NameAt(line)));
    // The selected line's own value: a look-up by name would find an earlier line of the same name.
    dialog.SetDatabase(FromAnsi(RawValueOf(Aliases.LineAt(line))));
  }
  dialog.AliasList = &Aliases;
  dialog.EditIndex = line;
  if (!dialog.Execute()) return;

  Aliases.EditAlias(line, ToAnsi(dialog.AliasName()), ToAnsi(dialog.Database()));
  RefreshAliasList();
  AnyChangeToSettings();
}

void TfrmMain::acDeleteAliasExecute() {
  const int item = SelectedItem(lvAlias);
  if (item < 0) return;
  const int line = LineIndexOf(lvAlias, item);
  if (line < 0 || line >= Aliases.LineCount()) return;
  const std::wstring question = FormatText(txt::alias::ConfirmDeleteFmt, ItemCaption(lvAlias, item));
  if (platform_.dialogs.AskConfirmation(question) != AnswerYes) return;
  Aliases.DeleteAlias(line);
  RefreshAliasList();
  AnyChangeToSettings();
}

void TfrmMain::lvAliasDblClick() {
  // Arrives as a notification, outside the command handler that reports errors.
  try {
    ActionListUpdate();
    if (acEditAlias.enabled) acEditAliasExecute();
  } catch (const std::exception& e) {
    platform_.dialogs.ShowError(FromUtf8(e.what()));
  }
}

void TfrmMain::lvAliasResize() { FitPathColumn(lvAlias); }

}  // namespace vantrel
