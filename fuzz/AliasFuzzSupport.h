#pragma once
// The settings host the fuzz targets use: every non-blank folder exists, and the write-back keeps
// the text that would have gone to the file.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <string>

#include "aliases/AliasList.h"
#include "shell/rules/TextRules.h"

namespace vantrel::fuzz {

// A scratch folder per process (in memory where it can be), removed when the run ends.
struct ScratchFolder {
  std::filesystem::path path;
  explicit ScratchFolder(const std::string& prefix) {
    namespace fs = std::filesystem;
    const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    path = base / (prefix + std::to_string(::getpid()));
    fs::create_directories(path);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

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
