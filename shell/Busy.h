#pragma once
// One action at a time. While a start or a stop waits for the server, the window thread keeps
// reading its messages (it repaints, it can be moved, Windows never calls it hung), but the
// user's input to the program's windows waits and nothing may begin a second action or refresh.
#include <windows.h>

#include <functional>

namespace vantrel {

// Whether an action is waiting now.
bool ApplicationBusy();

// Marks the program busy for its life; nests. The first scope shows the hourglass and tells
// BusyChanged(true), the last one going tells BusyChanged(false).
class TBusyScope {
 public:
  TBusyScope();
  ~TBusyScope();
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;
};

// Told when the program becomes busy and idle again (the main window holds and frees its buttons
// and timer, and carries out a close that came meanwhile).
void SetBusyChanged(std::function<void(bool busy)> changed);

// Waits about milliseconds while dispatching this thread's messages; keyboard and mouse input
// aimed at the program's windows (their client areas) is dropped, as it would be while a modal
// box is up. A quit message is left for the main loop and ends the wait.
void PumpMessagesFor(unsigned milliseconds);

}  // namespace vantrel
