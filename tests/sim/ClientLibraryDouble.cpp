// gds32.dll of the simulated installation: copied into the system directory by a root directory change.
// It will stand in for the client library; for now it only identifies itself.
#include <windows.h>

extern "C" __declspec(dllexport) const char* sim_client_library_name() { return "gds32 (simulated)"; }

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
