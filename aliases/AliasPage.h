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
