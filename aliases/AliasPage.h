#pragma once
// The alias page: the alias entries of the alias file, and adding, changing and deleting them
// through the alias editor. Edits are shown at once and made on the file at the next Apply.
#include <windows.h>

#include <vector>

#include "aliases/AliasFile.h"
#include "shell/Page.h"

namespace vantrel {

class TAliasPage final : public TPage {
 public:
  TAliasPage(IPageHost& host, TAliasFile& aliasFile);
  ~TAliasPage() override;

  void RefreshAliasList();

  // The file behind the page. Save: Apply's part, false (the message shown) when the file could
  // not be written; a file held a moment is waited for with the window answering.
  bool SaveFile();
  // Shows what changed on disk, unless the user has unapplied changes or a dialog holds a line.
  void FollowFile();
  // At exit: the aliases of created databases still waiting are tried once more, and the user is
  // told which remain and where, as they are lost with the program.
  void TellPendingAtExit();
  void acAddAliasExecute();
  void acEditAliasExecute();
  void acDeleteAliasExecute();
  void lvAliasDblClick();
  void lvAliasResize();
  // Screen point for the list's context menu; lp as WM_CONTEXTMENU brings it.
  POINT ContextMenuPoint(LPARAM lp) const;

  TAction acAddAlias, acEditAlias, acDeleteAlias;
  std::vector<TAction*> Actions() override { return {&acAddAlias, &acEditAlias, &acDeleteAlias}; }
  void UpdateActions(bool current) override;
  void Activated() override;
  HMENU ContextMenu() const override { return pmAlias; }

 protected:
  void CreateControls() override;
  bool OnNotify(const NMHDR& header) override;
  bool OnContextMenu(HWND target, LPARAM lp) override;

 private:
  const TAliasList& Aliases() const { return aliasFile_.List(); }

  TAliasFile& aliasFile_;
  HWND lvAlias = nullptr;
  HMENU pmAlias = nullptr;
};

}  // namespace vantrel
