// Handlers of pages whose own file is not in the tree yet (see app/CMakeLists.txt).
#include "app/fMain.h"

namespace vantrel {

#ifndef VANTREL_HAS_ALIAS_PAGE
void TfrmMain::RefreshAliasList() {}
void TfrmMain::acAddAliasExecute() {}
void TfrmMain::acEditAliasExecute() {}
void TfrmMain::acDeleteAliasExecute() {}
void TfrmMain::lvAliasDblClick() {}
void TfrmMain::lvAliasResize() {}
#endif

#ifndef VANTREL_HAS_TOOLS_PAGE
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
#endif

#ifndef VANTREL_HAS_ROOT_CHANGE
void TfrmMain::btnChangeRootClick() {}
#endif

#ifndef VANTREL_HAS_SOCKET_PAGES
void TfrmMain::FillIPList() {}
bool TfrmMain::StartSocketServer() { return false; }
bool TfrmMain::StopSocketServer() { return true; }
void TfrmMain::btnSocketServerClick() {}
void TfrmMain::BTN_Def_PathClick() {}
#endif

}  // namespace vantrel
