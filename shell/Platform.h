#pragma once
// The operating-system services the windows work through. Tests pass fakes.
#include "shell/uDialogs.h"
#include "shell/uExec.h"

namespace vantrel {

// The server layer's own interfaces: known here by name only, so this floor needs nothing above it.
class IServiceControl;
class ISystemProbes;

struct Platform {
  IServiceControl& services;
  ISystemProbes& probes;
  IDialogs& dialogs;
  IProgramLauncher& launcher;
};

}  // namespace vantrel
