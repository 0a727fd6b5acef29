#pragma once
// Control and menu identifiers of the main window; tests find controls by them.
#include <windows.h>

namespace vantrel {

enum ControlId : int {
  idFBVersion = 90, idGuardianState, idServerState, idDependentServices, idRootDir, idTitle,
  idDefPathPanel, idFirebirdLink, idInstallation, idInstanceWarning,
  idPageControl = 100,
  idOk = 101,
  idCancel = IDCANCEL,
  idApply = 103,
  idAutostart = 110, idService, idGuardian, idStartStop, idRestartElevated, idAttachments,
  idChangeRoot = 120, idShowTrayIcon,
  idAliasList = 130, idAddAlias, idEditAlias, idDeleteAlias,
  idToolList = 140, idAddTools, idDeleteTools, idEditTools, idLaunchTool,
  idZibidi = 150, idZibidiPort, idDefPath, idAdminUser, idAdminPassword,
  idIPs = 160, idSocketPort, idSocketServer, idProcesses, idStatusBar,
  // Menu items
  idMenuOpenCPA = 200, idMenuStartServer, idMenuStopServer, idMenuAliasManager,
  idMenuConfigTools, idMenuCloseCPA, idMenuRestartElevated,
  idMenuAddAlias = 210, idMenuEditAlias, idMenuDeleteAlias,
  idMenuAddTools = 220, idMenuEditTools, idMenuDeleteTools, idMenuLaunchTools,
};

}  // namespace vantrel
