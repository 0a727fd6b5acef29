#include "app/Platform.h"

#include "server/Probes.h"
#include "server/uService.h"

namespace vantrel {

Platform& RealPlatform() {
  static auto probes = CreateSystemProbes();
  // The server's and the guardian's states are pushed by the system where it can.
  static auto services = CreateFollowingServiceControl(*probes);
  static auto dialogs = CreateDialogs();
  static auto launcher = CreateProgramLauncher();
  static Platform platform{*services, *probes, *dialogs, *launcher};
  return platform;
}

}  // namespace vantrel
