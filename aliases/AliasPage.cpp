#include "aliases/AliasPage.h"

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <iterator>
#include <optional>

#include "aliases/AliasTexts.h"
#include "aliases/DatabasesConf.h"
#include "aliases/fAlias.h"
#include "resources/Texts.h"
#include "shell/ControlIds.h"
#include "shell/Busy.h"
#include "shell/Controls.h"
#include "shell/TextConv.h"
#include "shell/rules/TextRules.h"

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

TAliasPage::TAliasPage(IPageHost& host, TAliasFile& aliasFile)
    : TPage(host, txt::TabAlias), aliasFile_(aliasFile) {
  acAddAlias.Bind(txt::AddAlias, idMenuAddAlias, [this] { acAddAliasExecute(); }, VK_INSERT);
  acEditAlias.Bind(txt::EditAlias, idMenuEditAlias, [this] { acEditAliasExecute(); }, VK_RETURN, FALT);
  acDeleteAlias.Bind(txt::DeleteAlias, idMenuDeleteAlias, [this] { acDeleteAliasExecute(); }, VK_DELETE, FCONTROL);
  pmAlias = CreatePopupMenu();
  for (const TAction* action : {&acAddAlias, &acEditAlias, &acDeleteAlias})
    AppendMenuW(pmAlias, MF_STRING, action->menuId, action->caption.c_str());
}

TAliasPage::~TAliasPage() { DestroyMenu(pmAlias); }

void TAliasPage::CreateControls() {
  using namespace ui;
  HWND p = Handle();
  lvAlias = ReportListView(p, idAliasList, {4, 4, 398, 108}, Font());
  ListView_SetExtendedListViewStyle(lvAlias, LVS_EX_FULLROWSELECT);
  SetWindowLongPtrW(lvAlias, GWL_STYLE, GetWindowLongPtrW(lvAlias, GWL_STYLE) | LVS_SHOWSELALWAYS);
  AddListViewColumn(lvAlias, 0, txt::AliasColumnName, 90);
  AddListViewColumn(lvAlias, 1, txt::AliasColumnDatabase, 270);
  acAddAlias.buttons = {Button(p, idAddAlias, txt::AddAliasButton, {160, 117, 75, 25}, Font())};
  acEditAlias.buttons = {Button(p, idEditAlias, txt::EditAliasButton, {240, 117, 75, 25}, Font())};
  acDeleteAlias.buttons = {Button(p, idDeleteAlias, txt::DeleteAliasButton, {320, 117, 75, 25}, Font())};
}

void TAliasPage::Activated() {
  RefreshAliasList();
  if (ListView_GetItemCount(lvAlias) > 0) {
    const int top = ListView_GetTopIndex(lvAlias);
    ListView_SetItemState(lvAlias, top, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  }
  SetFocus(lvAlias);
}

void TAliasPage::UpdateActions(bool current) {
  const bool selected = Created() && SelectedItem(lvAlias) >= 0;
  const bool writable = !aliasFile_.ReadOnly();
  acAddAlias.enabled = current && writable;
  acEditAlias.enabled = acDeleteAlias.enabled = current && selected && writable;
}

bool TAliasPage::OnNotify(const NMHDR& header) {
  if (header.hwndFrom != lvAlias || header.code != NM_DBLCLK) return false;
  lvAliasDblClick();
  return true;
}

bool TAliasPage::OnContextMenu(HWND target, LPARAM lp) {
  if (target != lvAlias) return false;
  UpdateActions(Current());
  FollowActions({pmAlias});
  TrackMenu(pmAlias, ContextMenuPoint(lp));
  return true;
}

POINT TAliasPage::ContextMenuPoint(LPARAM lp) const {
  RECT item{};
  const int selected = SelectedItem(lvAlias);
  if (selected >= 0) ListView_GetItemRect(lvAlias, selected, &item, LVIR_LABEL);
  return MenuPointFor(lvAlias, lp, item);
}

void TAliasPage::RefreshAliasList() {
  ListView_DeleteAllItems(lvAlias);
  for (const TListedAlias& alias : Aliases().ListedAliases()) AddItem(lvAlias, alias.entry, alias.line);
  if (ClientWidth(lvAlias) > kMinWidthForFit) FitPathColumn(lvAlias);
}

void TAliasPage::acAddAliasExecute() {
  TfrmAlias dialog(host_.Window(), host_.Sys().dialogs);
  dialog.SetAliasName(txt::alias::NewAliasName);
  dialog.SetDatabase(L"");
  dialog.AliasList = &Aliases();
  dialog.EditIndex = -1;
  if (!dialog.Execute()) return;
  aliasFile_.AddAlias(ToAnsi(dialog.AliasName()), ToAnsi(dialog.Database()));
  RefreshAliasList();
  host_.AnyChangeToSettings();
}

void TAliasPage::acEditAliasExecute() {
  const int item = SelectedItem(lvAlias);
  if (item < 0) return;
  const int line = LineIndexOf(lvAlias, item);
  if (line < 0 || line >= Aliases().LineCount()) return;

  TfrmAlias dialog(host_.Window(), host_.Sys().dialogs);
  if (Aliases().Rules() == AliasFileRules::DatabasesConf) {
    const auto entry = DatabasesConfEntryOf(Aliases().LineAt(line));
    dialog.SetAliasName(entry ? FromAnsi(entry->name) : L"");
    dialog.SetDatabase(entry ? FromAnsi(entry->path) : L"");
  } else {
    dialog.SetAliasName(FromAnsi(Aliases().NameAt(line)));
    // The selected line's own value: a look-up by name would find an earlier line of the same name.
    dialog.SetDatabase(FromAnsi(RawValueOf(Aliases().LineAt(line))));
  }
  dialog.AliasList = &Aliases();
  dialog.EditIndex = line;
  if (!dialog.Execute()) return;

  aliasFile_.EditAlias(line, ToAnsi(dialog.AliasName()), ToAnsi(dialog.Database()));
  RefreshAliasList();
  host_.AnyChangeToSettings();
}

void TAliasPage::acDeleteAliasExecute() {
  const int item = SelectedItem(lvAlias);
  if (item < 0) return;
  const int line = LineIndexOf(lvAlias, item);
  if (line < 0 || line >= Aliases().LineCount()) return;
  const std::wstring question = FormatText(txt::alias::ConfirmDeleteFmt, ItemCaption(lvAlias, item));
  if (host_.Sys().dialogs.AskConfirmation(question) != AnswerYes) return;
  aliasFile_.DeleteAlias(line);
  RefreshAliasList();
  host_.AnyChangeToSettings();
}

void TAliasPage::lvAliasDblClick() {
  UpdateActions(Current());
  if (acEditAlias.enabled) acEditAliasExecute();
}

void TAliasPage::lvAliasResize() { FitPathColumn(lvAlias); }

bool TAliasPage::SaveFile() {
  std::optional<TBusyScope> busy;
  auto pauseWhileHeld = [&busy](std::chrono::milliseconds wait) {
    if (!busy) busy.emplace();
    PumpMessagesFor(static_cast<unsigned>(wait.count()));
  };
  try {
    aliasFile_.Save(
        [this](const std::string& alias) {
          const std::wstring question = FormatText(txt::alias::KeepPageVersionFmt, FromAnsi(alias));
          return host_.Sys().dialogs.AskConfirmation(question) == AnswerYes;
        },
        pauseWhileHeld);
  } catch (const EAliasFileError& e) {
    host_.Sys().dialogs.ShowError(txt::alias::SaveFailed + FromUtf8(e.what()));
    return false;
  }
  if (Created()) RefreshAliasList();
  return true;
}

void TAliasPage::FollowFile() {
  if (!IsWindowEnabled(host_.Window()) || !aliasFile_.FollowDisk(host_.ChangesPending())) return;
  if (Created()) RefreshAliasList();
}

void TAliasPage::TellPendingAtExit() {
  TAliasFileSync& disk = aliasFile_.Disk();
  disk.WritePending();
  if (disk.PendingCount() == 0) return;
  std::wstring text = txt::alias::PendingAtExit;
  auto name = [&text](const std::vector<TPendingAlias>& waiting, const std::filesystem::path& file) {
    if (waiting.empty()) return;
    for (const TPendingAlias& pending : waiting) text += FromAnsi(pending.alias + "=" + pending.path) + L"\r\n";
    text += file.wstring() + L"\r\n";
  };
  name(disk.Pending(), disk.Path());
  for (const auto& [file, waiting] : disk.PendingElsewhere()) name(waiting, file);
  text.resize(text.size() - 2);
  host_.Sys().dialogs.ShowError(text);
}

}  // namespace vantrel
