#pragma once
// Command lines kept in the registry's Run entries and passed to the registration tools.
#include <string>
#include <string_view>

namespace vantrel {

// The path bare, or in double quotes (inner double quotes doubled) when it contains a blank.
std::string QuotePath(std::string_view path);

// Always in double quotes, inner double quotes doubled.
std::string QuoteAlways(std::string_view text);

// The quoted path, then a blank and the parameters when there are any.
std::string BuildRunEntry(std::string_view path, std::string_view params);

// The first word of a command line: leading tabs and line breaks are skipped; the word ends at a
// blank or at the end, except inside a stretch in double or single quotes (the quotes stay).
std::string FirstWord(std::string_view value);

// The program named by a Run value: its first word, taken out of its double quotes (doubled
// quotes made single) when it begins with one. Whether that file exists is the caller's check.
std::string RunEntryProgram(std::string_view value);

}  // namespace vantrel
