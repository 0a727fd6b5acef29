#include <langinfo.h>
#include <locale.h>

#include "remote/ServeOptions.h"

namespace vantrel {

// Only LC_TIME is taken from the environment: a Turkish LC_CTYPE in the process would break the
// client library's own configuration parsing (dotless i when it folds case).
TDateTimeSeparators EnvironmentSeparators() {
  TDateTimeSeparators separators;
  locale_t time = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
  if (!time) return separators;
  separators.date = SeparatorOfFormat(nl_langinfo_l(D_FMT, time), separators.date);
  separators.time = SeparatorOfFormat(nl_langinfo_l(T_FMT, time), separators.time);
  freelocale(time);
  return separators;
}

}  // namespace vantrel
