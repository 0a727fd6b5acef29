// Startup settings: the three check boxes of the start page read from and written to the
// machine's services and Run entries.
#include "app/Controls.h"
#include "app/fMain.h"

namespace vantrel {

void TfrmMain::ReadStartupSettings() {
  SetCheckBox(cbxService, false);
  ui::Enable(cbxService, platform_.probes.IsWindowsNT());
  SetCheckBox(cbxAutostart, false);
  SetCheckBox(cbxGuardian, false);
  if (platform_.probes.IsWindowsNT()) {
    const ServiceSetup guardian = platform_.services.QueryServiceSetup(GuardianServiceName);
    SetCheckBox(cbxGuardian, guardian.Enabled);
    SetCheckBox(cbxService, guardian.Enabled || guardian.Automatic);
    SetCheckBox(cbxAutostart, guardian.Automatic);
    const ServiceSetup server = platform_.services.QueryServiceSetup(ServerServiceName);
    if (server.Enabled) SetCheckBox(cbxService, true);
    if (server.Automatic) SetCheckBox(cbxAutostart, true);
  }
}

void TfrmMain::ApplySettings(bool withSender) {
  ui::Enable(btnApply, false);
  ui::SetText(btnCancel, L"&Kapat");
}

}  // namespace vantrel
