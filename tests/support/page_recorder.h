// Stands in for the web view: records every message SendToPage hands over.
#pragma once

#include <string>
#include <vector>

namespace nv::test {

class PageRecorder {
 public:
  // Installs itself as the page sink and resets delivery to its start state.
  PageRecorder();
  ~PageRecorder();
  PageRecorder(const PageRecorder&) = delete;
  PageRecorder& operator=(const PageRecorder&) = delete;

  const std::vector<std::string>& messages() const;
  // The "t" member of each message, in order ("state", "toast", ...).
  std::vector<std::string> types() const;
  void clear();
};

// The value of the first "t":"..." member, or of the trailing one that news
// and online documents carry.
std::string MessageType(const std::string& json);

}  // namespace nv::test
