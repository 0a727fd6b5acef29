#pragma once
// The operating-system services the main window works through. Tests pass fakes.
#include "server/Probes.h"
#include "server/uService.h"
#include "shell/uDialogs.h"
#include "shell/uExec.h"

namespace vantrel {

struct Platform {
  IServiceControl& services;
  ISystemProbes& probes;
  IDialogs& dialogs;
  IProgramLauncher& launcher;
};

// The real implementations, alive for the whole process.
Platform& RealPlatform();

}  // namespace vantrel
