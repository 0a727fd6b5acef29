#pragma once
// The installation in use's server as this machine's clients reach it: the installation's own
// client library before any other, the text put before a path on that server, and the login.
#include <string>
#include <vector>

#include "remote/AdminLogin.h"
#include "remote/CommandHost.h"
#include "server/Installation.h"

namespace vantrel {

// The installation's libraries first (full paths), then the names the system finds.
std::vector<std::string> ClientLibraryCandidates(const TInstallation& installation);

// The prefix of the installation (kept as given when it has none) and the login: the
// environment's ISC_USER / ISC_PASSWORD, the user's stored one or the fixed one, in that order.
void ChooseLocalServer(const TInstallation& installation, const TAdminLogin& stored, TLocalServer& server);

}  // namespace vantrel
