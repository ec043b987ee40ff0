// A JSON document written in one pass, for the commands' --json output. Host code has no
// JSON library (those stay inside platform/), and the output is only ever written, never
// read, so a writer of a few dozen lines does: it escapes strings, keeps the commas, and
// turns bytes that are not UTF-8 (a file name on Linux may hold any) into U+FFFD so that
// the document always parses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace host {

class JsonWriter {
 public:
  JsonWriter& begin_object();
  JsonWriter& end_object();
  JsonWriter& begin_array();
  JsonWriter& end_array();
  // The name of the next member of the object being written.
  JsonWriter& key(std::string_view name);
  JsonWriter& string(std::string_view utf8);
  JsonWriter& number(long long value);
  // Written with the digits that read back as the same double; null for NaN and infinities.
  JsonWriter& real(double value);
  JsonWriter& boolean(bool value);
  JsonWriter& null();
  JsonWriter& strings(const std::vector<std::string>& values);

  // The document written, with a newline once it is complete.
  std::string text() const { return out_ + "\n"; }

 private:
  void separate();

  std::string out_;
  std::vector<bool> first_;  // per open object or array: nothing written in it yet
  bool after_key_ = false;
};

// A JSON string literal, quotes included.
std::string json_quoted(std::string_view utf8);

}  // namespace host
