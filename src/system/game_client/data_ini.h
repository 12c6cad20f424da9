// The game client's data list (DATA.INI) as text: which archives its [data]
// section names, and the reduced list written while an HD archive is missing
// on disk. Pure text rules; the file work lives in client_data_list.cpp.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace nv {

// The two archives of the HD pack, lower case.
inline constexpr std::string_view kHdArchiveNames[] = {"custom_hd1.grf", "custom_hd2.grf"};

// Spaces and tabs removed at both ends (nothing else counts as a blank).
std::string TrimBlanks(std::string_view text);

// The value, trimmed and with A-Z lowered, has one of the HD archive names as
// its last path component ('\' or '/' separated).
bool IsHdArchiveName(std::string_view value);

enum class DataListAction {
  kLeave,        // no HD archive listed, or not a data list at all
  kDeleteFull,   // every listed HD archive is present: the shipped list is in place
  kWriteReduced  // some listed HD archive is missing: write reducedText
};

struct DataListPlan {
  DataListAction action = DataListAction::kLeave;
  std::string reducedText;  // only for kWriteReduced
};

// isMissing is asked once per HD archive entry of a [data] section, with the
// entry's value as written (trimmed, UTF-8). The reduced text drops the
// missing entries, renumbers the kept ones 0, 1, 2, ... and keeps every other
// line byte for byte, with the line ending the text already uses.
DataListPlan PlanClientDataList(std::string_view text,
                                const std::function<bool(std::string_view value)>& isMissing);

}  // namespace nv
