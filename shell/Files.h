#pragma once
// Paths and files of the Win32 layer.
#include <string>

#include "shell/rules/PathRules.h"  // the paths' text rules

namespace vantrel {

std::wstring ProgramFilePath();  // this executable
std::wstring ProgramFolder();    // its folder, without a trailing delimiter
std::wstring IncludeTrailingDelimiter(const std::wstring& path);
bool FileExists(const std::wstring& path);       // a file, not a directory
bool DirectoryExists(const std::wstring& path);

}  // namespace vantrel
