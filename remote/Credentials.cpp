#include "remote/Credentials.h"

namespace vantrel {

TCredentials ChooseCredentials(const char* iscUser, const char* iscPassword, const TCredentials& stored) {
  const TCredentials fixed = ServeCredentials(nullptr, nullptr);
  TCredentials chosen;
  chosen.user = iscUser && *iscUser ? iscUser : !stored.user.empty() ? stored.user : fixed.user;
  chosen.password = iscPassword && *iscPassword ? iscPassword
                    : !stored.password.empty()  ? stored.password
                                                : fixed.password;
  return chosen;
}

}  // namespace vantrel
