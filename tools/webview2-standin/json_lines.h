// The stand-in's side of its JSON-lines protocol: flat objects of strings,
// numbers and booleans, one per line. Text from the driver is UTF-8.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace standin {

struct JsonValue {
  enum Kind { kString, kNumber, kBool, kNull } kind = kNull;
  std::string text;  // kString: the decoded UTF-8 text
  double number = 0;
  bool flag = false;
};
using JsonObject = std::map<std::string, JsonValue, std::less<>>;

// One flat object; nothing when the line is not one.
std::optional<JsonObject> ParseJsonObject(std::string_view line);

// Builds one line: Add members in order, then Line() for the text with '\n'.
class JsonWriter {
 public:
  JsonWriter& String(std::string_view key, std::string_view utf8);
  JsonWriter& Number(std::string_view key, long long value);
  JsonWriter& Bool(std::string_view key, bool value);
  std::string Line() const { return text_ + "}\n"; }

 private:
  void Key(std::string_view key);
  std::string text_ = "{";
};

std::string Base64(std::string_view bytes);

}  // namespace standin
