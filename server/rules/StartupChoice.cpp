#include "server/rules/StartupChoice.h"

namespace vantrel {

TStartupChoice ReadStartupChoice(bool nt, const ServiceSetup& guardian, const ServiceSetup& server,
                                 const std::wstring& runProgram, const std::wstring& guardianExeName,
                                 bool guardianAvailable) {
  TStartupChoice choice;
  if (nt) {
    choice.guardian = guardian.Enabled;
    choice.service = guardian.Enabled || guardian.Automatic || server.Enabled;
    choice.autostart = guardian.Automatic || server.Automatic;
  }
  if (!runProgram.empty()) {
    choice.autostart = true;
    if (guardianAvailable && !guardianExeName.empty() && runProgram.find(guardianExeName) != std::wstring::npos)
      choice.guardian = true;
  }
  return choice;
}

TStartupPlan PlanStartup(const TStartupChoice& choice, bool nt, ServerKind kind,
                         const std::wstring& serverExe, const std::wstring& guardianExe) {
  TStartupPlan plan;
  plan.writeGuardianOption = kind == skInterBase;
  plan.guardianOption = choice.guardian;
  if (nt && choice.service) {
    // Through the guardian only the guardian starts with Windows; it starts the server.
    if (choice.guardian)
      plan.startTypes = {{ServerRole::Server, true, false}, {ServerRole::Guardian, true, choice.autostart}};
    else
      plan.startTypes = {{ServerRole::Guardian, false, false}, {ServerRole::Server, true, choice.autostart}};
    return plan;
  }
  if (nt) plan.startTypes = {{ServerRole::Server, false, false}, {ServerRole::Guardian, false, false}};
  if (choice.autostart) plan.runProgram = choice.guardian ? guardianExe : serverExe;
  return plan;
}

}  // namespace vantrel
