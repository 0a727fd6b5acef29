#pragma once
// What the command-server pages keep beside the main window, for tests and diagnostics.
#include <cstddef>

namespace vantrel {

class TfrmMain;

// 0: the button starts the listener next; 1: it stops it.
inline constexpr int kSocketButtonStart = 0;
inline constexpr int kSocketButtonStop = 1;
int SocketButtonMode(const TfrmMain& form);

// Connections the window's listener serves at this moment.
std::size_t SocketServerConnections(const TfrmMain& form);

}  // namespace vantrel
