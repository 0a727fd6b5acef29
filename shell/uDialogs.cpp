#include "shell/uDialogs.h"

#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "shell/Application.h"
#include "shell/DelayLoad.h"
#include "shell/uBrowseDir.h"

namespace vantrel {
namespace {

constexpr UINT ErrorBoxFlags = MB_ICONERROR | MB_OK;
constexpr UINT QuestionBoxFlags = MB_YESNO | MB_ICONQUESTION;
constexpr UINT WarningBoxFlags = MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2;
constexpr UINT InformationBoxFlags = MB_ICONINFORMATION | MB_OK;
constexpr DWORD OpenFileFlags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_ENABLESIZING | OFN_EXPLORER;
constexpr std::size_t FileNameCapacity = 32768;

int ApplicationMessageBox(const std::wstring& text, UINT flags) {
  TaskWindowsDisabled modal;
  return MessageBoxW(ApplicationHandle(), text.c_str(), ApplicationTitle().c_str(), flags);
}

// "Name|pattern|Name|pattern" becomes the dialog's list of zero-terminated texts.
std::wstring FilterList(const std::wstring& pairs) {
  if (pairs.empty()) return {};
  std::wstring list = pairs;
  for (wchar_t& c : list) {
    if (c == L'|') c = L'\0';
  }
  list += L'\0';
  list += L'\0';
  return list;
}

class TDialogs : public IDialogs {
 public:
  void ShowError(const std::wstring& text) override { ApplicationMessageBox(text, ErrorBoxFlags); }

  int AskConfirmation(const std::wstring& text) override {
    return ApplicationMessageBox(text, QuestionBoxFlags);
  }

  int AskWarning(const std::wstring& text) override { return ApplicationMessageBox(text, WarningBoxFlags); }

  void ShowInformation(const std::wstring& text) override {
    ApplicationMessageBox(text, InformationBoxFlags);
  }

  bool BrowseForFolder(const std::wstring& title, const std::wstring& root,
                       const std::wstring& initialFolder, std::wstring& chosen) override {
    return vantrel::BrowseForFolder(title, root, initialFolder, chosen);
  }

  bool OpenFile(const FileDialogOptions& options, std::wstring& chosen) override {
    chosen.clear();
    std::wstring filter = FilterList(options.filter);
    std::vector<wchar_t> file(FileNameCapacity, L'\0');
    options.fileName.copy(file.data(), std::min(options.fileName.size(), file.size() - 1));
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = ApplicationHandle();
    dialog.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrInitialDir = options.initialFolder.empty() ? nullptr : options.initialFolder.c_str();
    dialog.Flags = OpenFileFlags;
    BOOL accepted;
    {
      TaskWindowsDisabled modal;
      auto* open = SystemFunction<decltype(GetOpenFileNameW)>(L"comdlg32.dll", "GetOpenFileNameW");
      accepted = open && open(&dialog);
    }
    if (!accepted) return false;
    chosen = file.data();
    return true;
  }
};

}  // namespace

std::unique_ptr<IDialogs> CreateDialogs() { return std::make_unique<TDialogs>(); }

}  // namespace vantrel
