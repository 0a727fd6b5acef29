// Handlers of pages whose behaviour is not built yet. Each moves to its page's own file.
#include "app/fMain.h"

namespace vantrel {

void TfrmMain::RefreshAliasList() {}
void TfrmMain::acAddAliasExecute() {}
void TfrmMain::acEditAliasExecute() {}
void TfrmMain::acDeleteAliasExecute() {}
void TfrmMain::lvAliasDblClick() {}
void TfrmMain::lvAliasResize() {}
void TfrmMain::AddDefaultTool() {}
void TfrmMain::RebuildTrayToolsMenu() {}
void TfrmMain::FillToolsList() {}
void TfrmMain::LaunchTool(int) {}
void TfrmMain::TrayToolClick(UINT) {}
void TfrmMain::acAddToolsExecute() {}
void TfrmMain::acEditToolsExecute() {}
void TfrmMain::acDeleteToolsExecute() {}
void TfrmMain::acLaunchToolsExecute() {}
void TfrmMain::lbxToolsMouseDown(int, int) {}
void TfrmMain::btnChangeRootClick() {}
void TfrmMain::FillIPList() {}
bool TfrmMain::StartSocketServer() { return false; }
bool TfrmMain::StopSocketServer() { return true; }
void TfrmMain::btnSocketServerClick() {}
void TfrmMain::BTN_Def_PathClick() {}

}  // namespace vantrel
