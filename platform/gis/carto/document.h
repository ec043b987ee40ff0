// Document (a map document, .mxd): its maps with the focus map, the title and the file it
// belongs to. JSON form:
//   {"format": "areaclip-map", "version": 1, "title": "…", "focus_map": 0, "maps": [M…], …}
// read_document and write_document move it between files and objects: reading refuses
// other formats and newer versions with a message naming the file; writing is atomic.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <win32/com_object.h>

#include "arcobjects/arcobjects.h"
#include "document_json.h"
#include "map.h"
#include "qgis/qgis_project.h"

namespace gis::carto {

inline constexpr const char* kDocumentFormat = "areaclip-map";
inline constexpr long kDocumentVersion = 1;

class Document : public win32::ComObject<Document, IDocument, IMxDocument> {
 public:
  Document() = default;
  Document(const Json& json, const DocumentPlace& place);

  // IDocument: the title is the document's "title", else its file name without extension.
  HRESULT STDMETHODCALLTYPE get_Title(BSTR* title) override;
  HRESULT STDMETHODCALLTYPE get_Parent(IApplication** application) override;
  // IMxDocument
  HRESULT STDMETHODCALLTYPE get_FocusMap(IMap** map) override;
  HRESULT STDMETHODCALLTYPE get_Maps(IMaps** maps) override;
  HRESULT STDMETHODCALLTYPE get_ActiveView(IActiveView** view) override;

  Json to_json(const DocumentPlace& place) const;
  std::string title_text() const;

  std::string title;
  std::vector<win32::ComPtr<Map>> maps;
  size_t focus = 0;
  std::string path;                   // UTF-8; empty for a document never read or saved
  IApplication* parent = nullptr;     // not owned; the application clears it when it lets go
  // The QGIS project the document was read from (empty for other documents), and what of it
  // the document does not model.
  QgisOrigin qgis;
  std::vector<std::string> notes;

 private:
  Json json_ = Json::object();
};

inline Document* document_impl(IUnknown* document) { return dynamic_cast<Document*>(document); }

// The bytes of the file at path; throws DocumentError for a folder, a file that cannot be read
// or one larger than limit bytes.
std::string read_document_bytes(const std::string& path, std::uint64_t limit = UINT64_MAX);
// Reads the document at path (UTF-8): a QGIS project when the name ends in .qgs or .qgz,
// else the JSON form; throws DocumentError with a message naming the file.
win32::ComPtr<Document> read_document(const std::string& path);
// Writes the document at path atomically, as a QGIS project when the name ends in .qgs or
// .qgz; throws std::runtime_error, leaving an existing file whole. Sources inside the new
// file's folder are written relative to it.
void write_document(const Document& document, const std::string& path);
// The document's text as saved at path.
std::string document_text(const Document& document, const std::string& path);

}  // namespace gis::carto
