#include "aliases/fAlias.h"

#include <algorithm>

#include "aliases/AliasTexts.h"
#include "aliases/DatabasesConf.h"
#include "shell/Controls.h"
#include "shell/Dpi.h"
#include "shell/Files.h"
#include "shell/TextConv.h"

namespace vantrel {
namespace {

constexpr int kClientWidth = 292;
constexpr int kClientHeight = 136;
constexpr int kMinWindowWidth = 300;
constexpr int kMinWindowHeight = 165;
constexpr int kMargin = 8;
constexpr int kButtonWidth = 70;
constexpr int kButtonHeight = 25;
constexpr int kButtonGap = 4;
constexpr int kSelectWidth = 22;
constexpr COLORREF kErrorColor = RGB(255, 0, 0);

wchar_t UpperAscii(wchar_t c) { return c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c; }

bool SameIgnoringAsciiCase(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](wchar_t x, wchar_t y) { return UpperAscii(x) == UpperAscii(y); });
}

// The alias file keeps single bytes of the ANSI code page, cuts every line at its first "#",
// splits it at its first "=" and breaks it at control characters. Text that would not come back
// as typed is refused instead of being stored altered.
bool FitsAliasFile(const std::wstring& text, const wchar_t* forbidden) {
  if (text.find_first_of(forbidden) != std::wstring::npos) return false;
  if (std::any_of(text.begin(), text.end(), [](wchar_t c) { return c < L' '; })) return false;
  BOOL lossy = FALSE;
  const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(),
                                       static_cast<int>(text.size()), nullptr, 0, nullptr, &lossy);
  return size > 0 && !lossy;
}

}  // namespace

TfrmAlias::TfrmAlias(HWND owner, IDialogs& dialogs)
    : TModalDialog(owner, txt::alias::DialogCaption, kClientWidth, kClientHeight, kMinWindowWidth,
                   kMinWindowHeight),
      dialogs_(dialogs) {
  CreateControls();
  FormCreate();
}

void TfrmAlias::CreateControls() {
  using namespace ui;
  HWND p = Handle();
  lblAliasName = Label(p, txt::alias::NameLabel, {0, 0, 0, 0}, Font(), 0, idAliasNameLabel);
  edtAliasName = Edit(p, idAliasName, L"", {0, 0, 0, 0}, Font());
  lblDatabase = Label(p, txt::alias::DatabaseLabel, {0, 0, 0, 0}, Font(), 0, idDatabaseLabel);
  edtDatabase = Edit(p, idDatabase, L"", {0, 0, 0, 0}, Font());
  btnSelDB = Button(p, idSelDB, txt::alias::SelectDatabase, {0, 0, 0, 0}, Font());
  lblError = Label(p, L"", {0, 0, 0, 0}, BoldFont(), SS_LEFTNOWORDWRAP, idError);
  btnOK = Button(p, IDOK, txt::alias::Ok, {0, 0, 0, 0}, Font(), BS_DEFPUSHBUTTON);
  btnCancel = Button(p, IDCANCEL, txt::alias::Cancel, {0, 0, 0, 0}, Font());
  SetDefaultButton(IDOK);
  RECT client;
  GetClientRect(p, &client);
  OnResize(dpi::Unscale(client.right, Dpi()), dpi::Unscale(client.bottom, Dpi()));
}

void TfrmAlias::FormCreate() {
  // No message catalogue belongs to the program, so translation leaves every text as designed.
  AliasList = nullptr;
  SetAliasName(L"");
  SetDatabase(L"");
  edtAliasNameChange();
  edtDatabaseChange();
}

void TfrmAlias::OnResize(int w, int h) {
  const int fieldWidth = std::max(0, w - 2 * kMargin);
  const int buttonTop = h - kMargin - kButtonHeight;
  const int cancelLeft = w - kMargin - kButtonWidth;
  const int okLeft = cancelLeft - kButtonGap - kButtonWidth;
  Place(lblAliasName, {kMargin, 8, fieldWidth, 14});
  Place(edtAliasName, {kMargin, 23, fieldWidth, 21});
  Place(lblDatabase, {kMargin, 52, fieldWidth, 14});
  Place(edtDatabase, {kMargin, 67, std::max(0, fieldWidth - kSelectWidth - kButtonGap), 21});
  Place(btnSelDB, {w - kMargin - kSelectWidth, 66, kSelectWidth, 23});
  Place(lblError, {kMargin, buttonTop + 6, std::max(0, okLeft - 2 * kMargin), 14});
  Place(btnOK, {okLeft, buttonTop, kButtonWidth, kButtonHeight});
  Place(btnCancel, {cancelLeft, buttonTop, kButtonWidth, kButtonHeight});
}

LRESULT TfrmAlias::OnColor(HDC dc, HWND control) {
  if (control == lblError) SetTextColor(dc, kErrorColor);
  return TModalDialog::OnColor(dc, control);
}

bool TfrmAlias::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case idAliasName:
      if (code == EN_CHANGE && !settingText_) edtAliasNameChange();
      return true;
    case idDatabase:
      if (code == EN_CHANGE && !settingText_) edtDatabaseChange();
      return true;
    case idSelDB:
      if (code == BN_CLICKED) btnSelDBClick();
      return true;
    case IDOK:
      // Enter reaches here too; a disabled OK button does not close the dialog.
      if (code == BN_CLICKED && ui::IsEnabled(btnOK)) btnOKClick();
      return true;
    default:
      return false;
  }
}

std::wstring TfrmAlias::AliasName() const { return TrimBlanks(ui::GetText(edtAliasName)); }
std::wstring TfrmAlias::Database() const { return TrimBlanks(ui::GetText(edtDatabase)); }

void TfrmAlias::SetAliasName(const std::wstring& name) {
  SetEditText(edtAliasName, name, &TfrmAlias::edtAliasNameChange);
}

void TfrmAlias::SetDatabase(const std::wstring& path) {
  SetEditText(edtDatabase, path, &TfrmAlias::edtDatabaseChange);
}

void TfrmAlias::SetEditText(HWND edit, const std::wstring& text, void (TfrmAlias::*changed)()) {
  if (ui::GetText(edit) == text) return;
  settingText_ = true;
  ui::SetText(edit, text);
  settingText_ = false;
  (this->*changed)();
}

bool TfrmAlias::Execute() {
  if (!AliasName().empty()) edtAliasNameChange();
  ui::Enable(btnOK, false);
  FocusWhenShown(edtAliasName);
  return ShowModal() == mrOk;
}

void TfrmAlias::edtAliasNameChange() {
  ui::SetText(lblError, IsDuplicateAlias(AliasName()) ? txt::alias::DuplicateAlias : L"");
  ui::Enable(btnOK, true);
}

void TfrmAlias::edtDatabaseChange() {
  ui::SetText(lblError, IsDuplicateDatabase(Database()) ? txt::alias::DuplicateDatabase : L"");
  ui::Enable(btnOK, true);
}

bool TfrmAlias::IsDuplicateAlias(const std::wstring& name) const {
  if (name.empty() || !AliasList) return false;
  if (RefusesDuplicates()) return AliasList->FindAlias(ToAnsi(name), EditIndex) >= 0;
  for (int i = 0; i < AliasList->LineCount(); ++i) {
    if (i != EditIndex && SameIgnoringAsciiCase(FromAnsi(AliasList->NameAt(i)), name)) return true;
  }
  return false;
}

bool TfrmAlias::IsDuplicateDatabase(const std::wstring& path) const {
  if (path.empty() || !AliasList) return false;
  if (RefusesDuplicates()) {
    for (const TListedAlias& alias : AliasList->ListedAliases())
      if (alias.line != EditIndex && SameIgnoringAsciiCase(FromAnsi(alias.entry.path), path)) return true;
    return false;
  }
  for (int i = 0; i < AliasList->LineCount(); ++i) {
    if (i == EditIndex) continue;
    if (SameIgnoringAsciiCase(FromAnsi(AliasList->ValueOf(AliasList->NameAt(i))), path)) return true;
  }
  return false;
}

bool TfrmAlias::RefusesDuplicates() const {
  return AliasList && AliasList->Rules() == AliasFileRules::DatabasesConf;
}

void TfrmAlias::btnSelDBClick() {
  const std::wstring current = Database();
  FileDialogOptions options;
  options.filter = txt::alias::DatabaseFilter;
  options.initialFolder = FolderOf(current);
  if (!current.empty() && FileExists(current)) options.fileName = current;
  std::wstring chosen;
  if (dialogs_.OpenFile(options, chosen)) SetDatabase(chosen);
}

void TfrmAlias::btnOKClick() {
  const std::wstring name = AliasName();
  // The server refuses a whole databases.conf that names an alias twice.
  if (name.empty() || SameIgnoringAsciiCase(name, L"NONAME") || !FitsAliasFile(name, L"=#") ||
      (RefusesDuplicates() && IsDuplicateAlias(name))) {
    Refuse(edtAliasName);
    return;
  }
  const std::wstring path = Database();
  if (path.empty() || !FileExists(path) || !FitsAliasFile(path, L"#")) {
    Refuse(edtDatabase);
    return;
  }
  // The line written must read back, by the server's rules, as exactly this name and path.
  if (!AliasLineReadsBack(ToAnsi(name), ToAnsi(path))) {
    Refuse(IsWritableAliasName(ToAnsi(name)) ? edtDatabase : edtAliasName);
    return;
  }
  EndModal(mrOk);
}

void TfrmAlias::Refuse(HWND field) {
  SetFocus(field);
  Beep();
}

void TfrmAlias::Beep() { MessageBeep(MB_ICONEXCLAMATION); }

}  // namespace vantrel
