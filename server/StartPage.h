#pragma once
// The start page: the server's and the guardian's state, starting and stopping them, and the
// three startup check boxes. The start and stop code works without the page's controls, for the
// tray menu of a window that was never shown.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "server/rules/StartupChoice.h"
#include "server/Installation.h"
#include "server/Probes.h"
#include "server/uService.h"
#include "shell/Controls.h"
#include "shell/Page.h"

namespace vantrel {

// Who is connected to the running server, read elsewhere: the page knows no client library.
class IAttachmentsSource {
 public:
  virtual ~IAttachmentsSource() = default;
  // After each refresh: a running server is read now and then, a stopped one empties the line.
  virtual void Follow(bool running, bool windowShown) = 0;
  // Before the running server is stopped: false when the user keeps it running.
  virtual bool MayStop() = 0;
  // Another installation is in use: what was read belongs to the one before.
  virtual void Forget() = 0;
};

class TStartPage final : public TPage {
 public:
  explicit TStartPage(IPageHost& host);

  // What the discovery found, shown on the page: the server's version and whether the guardian
  // can be used; then the state and the startup settings are read.
  void InstallationFound(bool guardianAvailable);
  // The services that depend on the server (a count; none shown where it cannot be listed).
  void ShowDependentServices();
  bool GuardianAvailable() const { return guardianAvailable_; }
  // The controls follow the user's rights; a limited administrator is offered a restart.
  void EnableControls();

  // Several servers on one machine: the list to choose from (shown only with more than one
  // entry), the chosen entry and the line of warnings (empty: none).
  void ShowInstallations(std::vector<std::wstring> labels, std::size_t chosen, std::wstring warning);
  std::size_t ChosenInstallation() const { return chosen_; }
  // The user picked another entry; false keeps the previous one (the list goes back to it).
  std::function<bool(std::size_t index)> onInstallationChosen;

  // Status: what the page, the tray icon and its menu show.
  void RefreshServerState();
  bool Running() const { return running_; }
  // After each refresh: whether the server runs and the tooltip for the tray icon.
  std::function<void(bool running, const std::wstring& toolTip)> onStateShown;
  bool ServerWindowExists();
  bool GuardianWindowExists();
  bool ServerServiceRunning();
  bool GuardianServiceRunning();
  bool CanAdminister();

  void btnStartStopClick();
  void StartServer();
  void StartServerNT();
  void StartApplication();
  bool OtherInstallationBlocksGuardian();
  void StartDependents();
  // Every stop of a running server asks the attachments source first: false when the user
  // kept the server running.
  bool StopServer();
  void StopServerAndReport();  // the user's stop: says so when the server's window stays
  void StopServerNT();
  void CloseApplications();
  bool StopDependents();

  // Who is connected: the line under the server's state (empty: no line) and its tooltip.
  void SetAttachmentsSource(IAttachmentsSource* source) { attachments_ = source; }
  void ShowAttachments(const std::wstring& value, const std::wstring& detail);
  const std::wstring& AttachmentsValue() const { return attachmentsValue_; }

  // Startup settings: the check boxes as one plain value, read from and written to the machine.
  const TStartupChoice& Choice() const { return choice_; }
  void SetChoice(const TStartupChoice& choice);  // as a user's clicks would
  void ReadStartupSettings();
  // And, when mayStart, the question whether to start now (or the start itself without sender).
  void ApplyStartupSettings(bool withSender, bool mayStart = true);
  void ApplyServiceSettings();
  void ApplyApplicationSettings();

  // An administrator's filtered token can do nothing here: offered a restart with full rights.
  void OfferElevation(bool offer);
  bool ElevationOffered() const { return elevationOffered_; }
  void acRestartElevatedExecute();
  // Called when the offer changes, so that the tray menu can follow.
  std::function<void(bool offered)> onElevationOffered;

  TAction acStartServer, acStopServer, acRestartElevated;
  std::vector<TAction*> Actions() override { return {&acStartServer, &acStopServer, &acRestartElevated}; }

 protected:
  void CreateControls() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool LabelColor(HWND label, COLORREF& color) override;

 private:
  // Runs a start or a stop as the one action of the moment: while it waits (the window reading
  // its messages), another click or tray command does nothing.
  void RunAlone(const std::function<void()>& action);
  void ShowChoice();
  void LayOutForInstallations();
  void PlaceRows(bool several);
  void ShowWarningLine();
  std::wstring ForeignRunProgram() const;
  void InstallationPicked();
  TStartupPlan Plan() const;
  void WriteRunValue(const TStartupPlan& plan);
  void ShowAttachmentsLine();
  void TellState();

  const TInstallation& Installation() const { return host_.Installation(); }
  Platform& Sys() { return host_.Sys(); }

  bool guardianAvailable_ = false;
  bool running_ = false;
  bool elevationOffered_ = false;
  TStartupChoice choice_;
  std::vector<std::wstring> installationLabels_;
  std::size_t chosen_ = 0;
  bool laidOutForSeveral_ = false;  // the controls are made in the rows for one
  std::wstring instanceWarning_;
  std::wstring runNote_;  // the Run value starts another installation's program
  IAttachmentsSource* attachments_ = nullptr;
  std::wstring attachmentsValue_, attachmentsDetail_;
  std::wstring stateToolTip_;
  HWND cbxInstallation = nullptr, lblInstanceWarning = nullptr, guardianTitle_ = nullptr, serverTitle_ = nullptr;
  HWND lblFBVersion = nullptr, lblGuardianState = nullptr, lblServerState = nullptr,
       lblDependentServices = nullptr, cbxAutostart = nullptr, cbxService = nullptr,
       cbxGuardian = nullptr, btnStartStop = nullptr, btnRestartElevated = nullptr, attachmentsTitle_ = nullptr,
       lblAttachments = nullptr, attachmentsTip_ = nullptr;
  ui::TShownText shownGuardianState_, shownServerState_, shownStartStop_;
};

}  // namespace vantrel
