#include "remote/Credentials.h"

namespace vantrel {

namespace {
// The environment's value when set, else the stored one; nothing leaves it to the fixed one.
const char* Preferred(const char* fromEnvironment, const std::string& stored) {
  if (fromEnvironment && *fromEnvironment) return fromEnvironment;
  return stored.empty() ? nullptr : stored.c_str();
}
}  // namespace

TCredentials ChooseCredentials(const char* iscUser, const char* iscPassword, const TCredentials& stored) {
  return ServeCredentials(Preferred(iscUser, stored.user), Preferred(iscPassword, stored.password));
}

}  // namespace vantrel
