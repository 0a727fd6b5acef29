#pragma once
// The operating-system services the windows work through. Tests pass fakes.
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

}  // namespace vantrel
