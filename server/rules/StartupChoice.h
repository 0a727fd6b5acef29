#pragma once
// What the three startup check boxes mean: read from the machine's service setups and Run
// value, and turned into the start types, the Run value and the guardian option to write.
#include <string>
#include <vector>

#include "server/FB_Consts.h"
#include "server/uService.h"

namespace vantrel {

struct TStartupChoice {
  bool autostart = false;  // with Windows
  bool service = false;    // as services (the NT family only)
  bool guardian = false;   // through the guardian

  bool operator==(const TStartupChoice&) const = default;
};

// The choice the machine's setup shows. nt: whether services exist (the setups are ignored
// otherwise); runProgram: the program of the machine's "Firebird" Run value when that file
// exists, else empty.
TStartupChoice ReadStartupChoice(bool nt, const ServiceSetup& guardian, const ServiceSetup& server,
                                 const std::wstring& runProgram, const std::wstring& guardianExeName,
                                 bool guardianAvailable);

enum class ServerRole { Server, Guardian };

struct TStartTypeChange {
  ServerRole service;
  bool enabled;
  bool automatic;

  bool operator==(const TStartTypeChange&) const = default;
};

struct TStartupPlan {
  std::vector<TStartTypeChange> startTypes;  // in the order they are written
  // The machine's "Firebird" Run value: this program with "-a", or deleted when empty.
  std::wstring runProgram;
  bool writeGuardianOption = false;  // "GuardianOptions" exists for InterBase only
  bool guardianOption = false;
};

TStartupPlan PlanStartup(const TStartupChoice& choice, bool nt, ServerKind kind,
                         const std::wstring& serverExe, const std::wstring& guardianExe);

}  // namespace vantrel
