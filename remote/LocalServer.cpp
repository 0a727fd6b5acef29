#include "remote/LocalServer.h"

#include <cstdlib>

#include "remote/Credentials.h"
#include "remote/IB_Ext.h"
#include "shell/TextConv.h"

namespace vantrel {

std::vector<std::string> ClientLibraryCandidates(const TInstallation& installation) {
  std::vector<std::string> candidates;
  for (const std::wstring& path : installation.clientLibraries) candidates.push_back(ToUtf8(path));
  for (const std::string& name : ClientLibraryNames()) candidates.push_back(name);
  return candidates;
}

void ChooseLocalServer(const TInstallation& installation, const TAdminLogin& stored, TLocalServer& server) {
  if (!installation.localServerPrefix.empty()) server.prefix = ToAnsi(installation.localServerPrefix);
  const TCredentials chosen = ChooseCredentials(std::getenv("ISC_USER"), std::getenv("ISC_PASSWORD"),
                                                {ToAnsi(stored.user), ToAnsi(stored.password)});
  server.user = chosen.user;
  server.password = chosen.password;
}

}  // namespace vantrel
