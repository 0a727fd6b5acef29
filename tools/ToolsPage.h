#pragma once
// The tools page, the tool items of the tray menu and the launcher. The tools live in the
// user's configuration; the tray items and the launcher work without the page's controls.
#include <windows.h>

#include <string>
#include <vector>

#include "shell/Page.h"

namespace vantrel {

class TToolsPage final : public TPage {
 public:
  static constexpr UINT kFirstTrayToolId = 1000;  // tool items of the tray menu

  explicit TToolsPage(IPageHost& host);
  ~TToolsPage() override;

  void AddDefaultTool();
  // The tool items follow the tray menu's fixed items; the exit item ends the menu.
  void SetTrayMenu(HMENU trayMenu, UINT exitId, std::wstring exitCaption);
  void RebuildTrayToolsMenu();
  void TrayToolClick(UINT menuId);
  void FillToolsList();
  void LaunchTool(int index);
  void acAddToolsExecute();
  void acEditToolsExecute();
  void acDeleteToolsExecute();
  void acLaunchToolsExecute();
  // Selects the line under a point of the list's client area, or none below the last line.
  void lbxToolsMouseDown(int x, int y);
  // Screen point for the list's context menu; lp as WM_CONTEXTMENU brings it.
  POINT ContextMenuPoint(LPARAM lp) const;

  TAction acAddTools, acEditTools, acDeleteTools, acLaunchTools;
  std::vector<TAction*> Actions() override { return {&acAddTools, &acEditTools, &acDeleteTools, &acLaunchTools}; }
  void UpdateActions(bool current) override;
  void Activated() override;
  HMENU ContextMenu() const override { return pmTools; }

 protected:
  void CreateControls() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnContextMenu(HWND target, LPARAM lp) override;

 private:
  static LRESULT CALLBACK ToolListProc(HWND list, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR page);

  HWND lbxTools = nullptr;
  HMENU pmTools = nullptr;
  HMENU trayMenu_ = nullptr;
  UINT exitId_ = 0;
  std::wstring exitCaption_;
};

}  // namespace vantrel
