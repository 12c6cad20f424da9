#include "system/game_client/data_ini.h"

#include <vector>

#include "sync/fs/path_text.h"

namespace nv {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsAllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// Lines split at LF with one trailing CR dropped; a final LF adds no line.
template <class Visit>
void ForEachListLine(std::string_view text, Visit&& visit) {
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t lf = text.find('\n', start);
    const std::size_t end = lf == std::string_view::npos ? text.size() : lf;
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    visit(line);
    if (lf == std::string_view::npos) break;
    start = lf + 1;
  }
}

// Walks the lines with the section they are in; entry tells whether a line
// is a numbered entry of [data], with its trimmed value.
template <class Visit>
void ForEachDataLine(std::string_view text, Visit&& visit) {
  std::string section;
  ForEachListLine(text, [&](std::string_view raw) {
    const std::string trimmed = TrimBlanks(raw);
    bool entry = false;
    std::string value;
    if (!trimmed.empty() && trimmed.front() == '[') {
      section = AsciiLower(trimmed);
    } else if (section == "[data]") {
      const std::size_t equals = trimmed.find('=');
      if (equals != std::string::npos && equals > 0 &&
          IsAllDigits(TrimBlanks(std::string_view(trimmed).substr(0, equals)))) {
        entry = true;
        value = TrimBlanks(std::string_view(trimmed).substr(equals + 1));
      }
    }
    visit(raw, entry, value);
  });
}

}  // namespace

std::string TrimBlanks(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

bool IsHdArchiveName(std::string_view value) {
  const std::string lowered = AsciiLower(TrimBlanks(value));
  const std::size_t separator = lowered.find_last_of("\\/");
  const std::string_view name = separator == std::string::npos
                                    ? std::string_view(lowered)
                                    : std::string_view(lowered).substr(separator + 1);
  for (std::string_view hd : kHdArchiveNames)
    if (name == hd) return true;
  return false;
}

DataListPlan PlanClientDataList(std::string_view text,
                                const std::function<bool(std::string_view value)>& isMissing) {
  DataListPlan plan;
  // A NUL byte means this is no text list (a damaged or foreign file): the
  // client's own list is never rewritten from bytes we cannot read as text.
  if (text.find('\0') != std::string_view::npos) return plan;

  const bool crlf = text.size() >= 2 && text.find("\r\n") != std::string_view::npos;
  const std::string_view ending = crlf ? "\r\n" : "\n";
  const bool endsWithLf = !text.empty() && text.back() == '\n';

  // Two walks over the text instead of a list of its lines: a list would
  // cost tens of bytes for every line break of a file of nothing else. The
  // first asks about each HD entry (once), the second writes.
  std::vector<bool> missing;  // per HD entry, in file order
  bool sawHd = false;
  bool anyMissing = false;
  ForEachDataLine(text, [&](std::string_view, bool entry, const std::string& value) {
    if (!entry || !IsHdArchiveName(value)) return;
    sawHd = true;
    missing.push_back(isMissing(value));
    if (missing.back()) anyMissing = true;
  });

  if (!sawHd) return plan;
  if (!anyMissing) {
    plan.action = DataListAction::kDeleteFull;
    return plan;
  }

  plan.action = DataListAction::kWriteReduced;
  std::string& out = plan.reducedText;
  out.reserve(text.size());
  std::size_t number = 0;
  std::size_t hd = 0;
  bool first = true;
  ForEachDataLine(text, [&](std::string_view raw, bool entry, const std::string& value) {
    if (entry && IsHdArchiveName(value) && missing[hd++]) return;
    if (!first) out += ending;
    first = false;
    if (entry) {
      out += std::to_string(number++);
      out += '=';
      out += value;
    } else {
      out += raw;
    }
  });
  if (endsWithLf) out += ending;
  return plan;
}

}  // namespace nv
