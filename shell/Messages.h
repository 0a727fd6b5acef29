#pragma once
// The program's private window messages, each named once.
#include <windows.h>

namespace vantrel {

// A modal dialog gives its first edit the focus once it is up.
inline constexpr UINT WMAPP_FOCUSEDIT = WM_APP + 1;
// The command server's connections left work for the window thread.
inline constexpr UINT WMAPP_RUNQUEUEDWORK = WM_APP + 2;
// A reading of the server's attachments came back from its thread.
inline constexpr UINT WMAPP_ATTACHMENTSREAD = WM_APP + 4;

// The notification icon's callback number is part of the record the shell receives (1025), so
// it stays where the shell's convention put it.
inline constexpr UINT WM_TRAYICON_CALLBACK = WM_USER + 1;
inline constexpr UINT WM_TRAYICON_RETIP = WM_USER + 2;  // re-applies the tooltip

}  // namespace vantrel
