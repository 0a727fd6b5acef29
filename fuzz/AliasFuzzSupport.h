#pragma once
// The settings host the fuzz targets use: every non-blank folder exists, and the write-back keeps
// the text that would have gone to the file.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "aliases/AliasList.h"
#include "shell/rules/TextRules.h"

namespace vantrel::fuzz {

class Host : public TPlainAliasSettings {
 public:
  Host() : TPlainAliasSettings(std::string("exe") + kPathDelimiter) {}
  bool DirectoryExists(const std::string& path) const override { return !IsBlank(path); }
};

inline void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "property broken: %s\n", what);
  std::abort();
}

inline bool CarriesAnyMarker(const std::string& line) {
  const std::string upper = AsciiUpper(line);
  return upper.find("# DEFAULT_PATH") != std::string::npos || upper.find("# ZEEBEEDEE") != std::string::npos ||
         upper.find("# SOCKET_PORT") != std::string::npos;
}

inline std::vector<std::string> WithoutSettings(const std::vector<std::string>& lines) {
  std::vector<std::string> kept;
  for (const std::string& line : lines)
    if (!CarriesAnyMarker(line)) kept.push_back(line);
  return kept;
}

}  // namespace vantrel::fuzz
