#include "tools/fTools.h"

#include <shlobj.h>

#include "shell/Controls.h"
#include "shell/Dpi.h"
#include "shell/Files.h"
#include "shell/TextConv.h"
#include "shell/rules/TextRules.h"
#include "shell/uConfig.h"
#include "tools/ToolEntry.h"
#include "tools/ToolTexts.h"

namespace vantrel {
namespace {

namespace text = txt::tools;

constexpr int kClientWidth = 410;
constexpr int kClientHeight = 116;
constexpr int kMinWidth = 310;
constexpr int kMinHeight = 130;
constexpr int kMargin = 8;
constexpr int kFieldLeft = 80;
constexpr int kRowHeight = 21;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kTitleTop = 8, kProgramTop = 36, kParamsTop = 64, kButtonsTop = 88;
constexpr COLORREF kRed = RGB(255, 0, 0);

std::wstring FullPath(const std::wstring& path) {
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  const DWORD written = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (written == 0 || written >= size) return path;
  full.resize(written);
  return full;
}

std::wstring NameWithoutExtension(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/:");
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos) name.resize(dot);
  return name;
}

// Width of a label's text in its own font, so the warning is never cut off.
int TextWidth(HWND label) {
  const std::wstring caption = ui::GetText(label);
  HDC dc = GetDC(label);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  return size.cx + 4;
}

}  // namespace

TfrmTools::TfrmTools(HWND owner, IDialogs& dialogs)
    : TModalDialog(owner, text::DialogCaption, kClientWidth, kClientHeight, kMinWidth, kMinHeight),
      dialogs_(dialogs) {
  using namespace ui;
  HWND d = Handle();
  // No message catalogue belongs to the program, so the translation step keeps these texts.
  lblTitle = Label(d, text::TitleLabel, {kMargin, kTitleTop + 3, 70, 14}, Font());
  edTitle = Edit(d, idTitleEdit, L"", {kFieldLeft, kTitleTop, 150, kRowHeight}, Font());
  lblDuplicate = Label(d, text::DuplicateTitle, {240, kTitleTop + 3, 150, 14}, BoldFont(), 0, idDuplicate);
  duplicateWidth_ = dpi::Unscale(TextWidth(lblDuplicate), Dpi()) + 1;
  Show(lblDuplicate, false);
  lblProgram = Label(d, text::ProgramLabel, {kMargin, kProgramTop + 3, 70, 14}, Font());
  edProgram = Edit(d, idProgramEdit, L"", {kFieldLeft, kProgramTop, 200, kRowHeight}, Font());
  btnBrowse = Button(d, idBrowse, text::Browse, {290, kProgramTop - 2, kButtonWidth, kButtonHeight}, Font());
  lblParams = Label(d, text::ParamsLabel, {kMargin, kParamsTop + 3, 70, 14}, Font());
  edParams = Edit(d, idParamsEdit, L"", {kFieldLeft, kParamsTop, 280, kRowHeight}, Font());
  btnOK = Button(d, idOK, text::Ok, {0, kButtonsTop, kButtonWidth, kButtonHeight}, Font(), BS_DEFPUSHBUTTON);
  btnCancel = Button(d, idCancel, text::Cancel, {0, kButtonsTop, kButtonWidth, kButtonHeight}, Font());
  SetDefaultButton(idOK);
  RECT client;
  GetClientRect(d, &client);
  OnResize(dpi::Unscale(client.right, Dpi()), dpi::Unscale(client.bottom, Dpi()));
}

std::wstring TfrmTools::ToolTitle() const { return ui::GetText(edTitle); }
void TfrmTools::SetToolTitle(const std::wstring& value) { ui::SetText(edTitle, value); }
std::wstring TfrmTools::ToolProgram() const { return ui::GetText(edProgram); }
void TfrmTools::SetToolProgram(const std::wstring& value) { ui::SetText(edProgram, value); }
std::wstring TfrmTools::ToolParams() const { return ui::GetText(edParams); }
void TfrmTools::SetToolParams(const std::wstring& value) { ui::SetText(edParams, value); }

void TfrmTools::SetToolList(const std::vector<std::wstring>* list) {
  if (list)
    ToolList = *list;
  else
    ToolList.clear();
}

bool TfrmTools::Execute() {
  SetModified(false);
  FocusWhenShown(edTitle);
  return ShowModal() == mrOk;
}

void TfrmTools::SetModified(bool modified) {
  ui::Enable(btnOK, modified);
  ui::SetText(btnCancel, modified ? text::Cancel : text::Close);
}

void TfrmTools::AnySettingChanged() {
  const std::wstring title = ToolTitle();
  SetModified(!title.empty() && !ToolProgram().empty());

  std::vector<std::string> lines;
  lines.reserve(ToolList.size());
  for (const std::wstring& line : ToolList) lines.push_back(ToAnsi(line));
  const int duplicate = FindToolByTitle(lines, Trim(ToAnsi(title)));
  // Only a warning: a repeated title may still be stored.
  ui::Show(lblDuplicate, duplicate >= 0 && duplicate != EditIndex);
}

bool TfrmTools::TitleFitsAnEntry() const {
  // The entry's title ends at its first "=": a title holding one would come back as another
  // title with a broken program.
  return ToolTitle().find(L'=') == std::wstring::npos;
}

void TfrmTools::btnBrowseClick() {
  FileDialogOptions options;
  options.filter = text::ProgramFilter;
  const std::wstring current = ToolProgram();
  if (FileExists(current)) {
    options.fileName = FullPath(current);
    options.initialFolder = FolderOf(options.fileName);
  } else {
    options.initialFolder = SpecialFolderPath(CSIDL_PROGRAM_FILES);
    if (options.initialFolder.empty()) options.initialFolder = SpecialFolderPath(CSIDL_PROGRAMS);
    options.fileName = text::ProgramPattern;
  }
  std::wstring chosen;
  if (!dialogs_.OpenFile(options, chosen)) return;
  SetToolProgram(chosen);
  if (TrimBlanks(ToolTitle()).empty()) SetToolTitle(NameWithoutExtension(chosen));
  AnySettingChanged();
}

bool TfrmTools::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case idTitleEdit:
    case idProgramEdit:
    case idParamsEdit:
      if (code == EN_CHANGE) AnySettingChanged();
      return true;
    case idBrowse:
      if (code == BN_CLICKED) btnBrowseClick();
      return true;
    case idOK:
      // Enter reaches here even while the button is disabled.
      if (!ui::IsEnabled(btnOK)) return true;
      if (!TitleFitsAnEntry()) {
        MessageBeep(MB_ICONEXCLAMATION);
        SetFocus(edTitle);
        return true;
      }
      EndModal(mrOk);
      return true;
    default:
      return false;
  }
}

void TfrmTools::OnResize(int clientWidth, int clientHeight) {
  if (!btnCancel) return;  // the window's first size comes before its controls
  const int right = clientWidth - kMargin;
  const int duplicateLeft = right - duplicateWidth_;
  Place(edTitle, {kFieldLeft, kTitleTop, duplicateLeft - 6 - kFieldLeft, kRowHeight});
  Place(lblDuplicate, {duplicateLeft, kTitleTop + 3, duplicateWidth_, 14});
  Place(edProgram, {kFieldLeft, kProgramTop, right - kButtonWidth - 6 - kFieldLeft, kRowHeight});
  Place(btnBrowse, {right - kButtonWidth, kProgramTop - 2, kButtonWidth, kButtonHeight});
  Place(edParams, {kFieldLeft, kParamsTop, right - kFieldLeft, kRowHeight});
  Place(btnCancel, {right - kButtonWidth, kButtonsTop, kButtonWidth, kButtonHeight});
  Place(btnOK, {right - 2 * kButtonWidth - 6, kButtonsTop, kButtonWidth, kButtonHeight});
  InvalidateRect(Handle(), nullptr, TRUE);
}

LRESULT TfrmTools::OnColor(HDC dc, HWND control) {
  const LRESULT brush = TModalDialog::OnColor(dc, control);
  if (control == lblDuplicate) SetTextColor(dc, kRed);
  return brush;
}

}  // namespace vantrel
