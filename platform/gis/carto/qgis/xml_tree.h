// An XML document held by libxml2 with the few operations the QGIS project reader and writer
// need. Parsing keeps every node (whitespace, comments, the doctype) so a document written
// back holds what it was read with; entities are not expanded and nothing is fetched.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <libxml/tree.h>

namespace gis::carto {

class XmlDocument {
 public:
  // Throws DocumentError with the parser's reason and line.
  static XmlDocument parse(const std::string& text);
  // A new document whose root element is named root.
  static XmlDocument make(const char* root);

  XmlDocument copy() const;
  xmlNode* root() const { return xmlDocGetRootElement(doc_.get()); }
  // The document as UTF-8 text with its XML declaration.
  std::string text() const;

 private:
  struct Free {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
  };
  std::unique_ptr<xmlDoc, Free> doc_;
};

// The first element child named name (any element when name is null), or null.
xmlNode* xml_child(const xmlNode* parent, const char* name);
std::vector<xmlNode*> xml_children(const xmlNode* parent, const char* name);
// The first element found by following names from parent ("a", "b" = parent/a/b), or null.
xmlNode* xml_path(const xmlNode* parent, std::initializer_list<const char*> names);
bool xml_is(const xmlNode* node, const char* name);

std::string xml_attr(const xmlNode* node, const char* name, const std::string& fallback = "");
bool xml_has_attr(const xmlNode* node, const char* name);
void xml_set_attr(xmlNode* node, const char* name, const std::string& value);
// The node's text content ("" for null).
std::string xml_text(const xmlNode* node);
void xml_set_text(xmlNode* node, const std::string& text);
// The text of the first child named name ("" when there is none).
std::string xml_child_text(const xmlNode* parent, const char* name);

// A new element child at the end of parent, with text when given.
xmlNode* xml_add(xmlNode* parent, const char* name, const std::string& text = "");
// The child named name, made at the end of parent when missing.
xmlNode* xml_ensure(xmlNode* parent, const char* name);
// Unlinks and frees node.
void xml_remove(xmlNode* node);

}  // namespace gis::carto
