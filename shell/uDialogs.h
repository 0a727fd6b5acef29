#pragma once
// Message boxes and choosers. Handlers ask through this interface so tests can script answers.
#include <memory>
#include <string>

namespace vantrel {

constexpr int AnswerYes = 6;  // AskConfirmation answers (IDYES, IDNO)
constexpr int AnswerNo = 7;

struct FileDialogOptions {
  std::wstring filter;         // "Text|*.a;*.b|All Files (*.*)|*.*" ('|' separated pairs)
  std::wstring initialFolder;  // may be empty
  std::wstring fileName;       // preselected name or pattern, may be empty
};

class IDialogs {
 public:
  virtual ~IDialogs() = default;
  virtual void ShowError(const std::wstring& text) = 0;          // MB_ICONERROR, OK
  virtual int AskConfirmation(const std::wstring& text) = 0;     // MB_YESNO|MB_ICONQUESTION: 6 or 7
  // A question whose Yes can hurt someone: the warning icon, No the default. 6 or 7.
  virtual int AskWarning(const std::wstring& text) = 0;
  virtual void ShowInformation(const std::wstring& text) = 0;    // plain box with OK
  // Folder choice; empty root offers the whole shell namespace.
  virtual bool BrowseForFolder(const std::wstring& title, const std::wstring& root,
                               const std::wstring& initialFolder, std::wstring& chosen) = 0;
  // File-open dialog (read-only box hidden, working directory kept); full path on success.
  virtual bool OpenFile(const FileDialogOptions& options, std::wstring& chosen) = 0;
};

// The real boxes, titled with the application title and owned by the application window.
std::unique_ptr<IDialogs> CreateDialogs();

}  // namespace vantrel
