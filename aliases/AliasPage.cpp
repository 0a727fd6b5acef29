// The alias page of the main window.
#include "app/fMain.h"
#include "shell/Files.h"

namespace vantrel {

void TfrmMain::LoadAliasFile() {
  const std::wstring path = IncludeTrailingDelimiter(RootDir) + L"aliases.conf";
  SetPageVisible(tabAlias, FileExists(path));
}

}  // namespace vantrel
