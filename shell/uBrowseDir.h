#pragma once
// The shell's folder chooser, and the modal state that every box of the program shares.
#include <windows.h>

#include <string>
#include <vector>

namespace vantrel {

// Disables this thread's visible, enabled top-level windows for the life of the object and
// enables them again (and gives back the activation) when it ends, on every path.
class TaskWindowsDisabled {
 public:
  TaskWindowsDisabled();
  ~TaskWindowsDisabled();
  TaskWindowsDisabled(const TaskWindowsDisabled&) = delete;
  TaskWindowsDisabled& operator=(const TaskWindowsDisabled&) = delete;

 private:
  std::vector<HWND> disabled_;
  HWND active_;
};

// Folder choice owned by the application window, opened on initialFolder; an empty root offers
// the whole shell namespace. The chosen path has no trailing delimiter added.
bool BrowseForFolder(const std::wstring& title, const std::wstring& root,
                     const std::wstring& initialFolder, std::wstring& chosen);

}  // namespace vantrel
