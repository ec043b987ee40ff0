// Shared pieces of the map document format: the JSON type, read errors that name the place
// in the document, typed member access, colours and the source path rules.
//
// Every object of a document keeps the JSON object it was read from, so keys this stand-in
// does not know are written back unchanged; known keys are overwritten in place on save
// (ordered_json keeps their position).
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include <windef.h>

namespace gis::carto {

using Json = nlohmann::ordered_json;

// A document that cannot be read; the message names the place ("maps[0].layers[2]").
class DocumentError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

[[noreturn]] void throw_document_error(const std::string& where, const std::string& what);

// Where a document is read from or written to: relative source paths resolve against the
// document's folder, and sources inside it are written relative to it.
struct DocumentPlace {
  std::filesystem::path folder;  // absolute, normalised
};

// The object at `where`, or a DocumentError.
const Json& require_object(const Json& value, const std::string& where);
// Members with a type check; absent or null members give the fallback.
std::string member_string(const Json& object, const char* key, const std::string& where,
                          const std::string& fallback = "");
bool member_bool(const Json& object, const char* key, const std::string& where, bool fallback);
double member_number(const Json& object, const char* key, const std::string& where, double fallback);
long member_integer(const Json& object, const char* key, const std::string& where, long fallback);
// The array member (empty when absent or null).
const Json& member_array(const Json& object, const char* key, const std::string& where);

// "#RRGGBB" and the COLORREF value 0x00BBGGRR.
bool parse_color(const std::string& text, LONG* rgb);
std::string format_color(LONG rgb);

// The absolute, normalised path a source names ("\" read as "/"), relative ones taken
// from the document's folder.
std::string resolve_source_path(const std::string& stored, const DocumentPlace& place);
// What a document at `place` stores for an absolute source path: relative inside the
// document's folder, absolute elsewhere.
std::string stored_source_path(const std::string& absolute, const DocumentPlace& place);

}  // namespace gis::carto
