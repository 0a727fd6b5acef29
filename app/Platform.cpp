#include "app/Platform.h"

namespace vantrel {

Platform& RealPlatform() {
  static auto services = CreateServiceControl();
  static auto probes = CreateSystemProbes();
  static auto dialogs = CreateDialogs();
  static auto launcher = CreateProgramLauncher();
  static Platform platform{*services, *probes, *dialogs, *launcher};
  return platform;
}

}  // namespace vantrel
