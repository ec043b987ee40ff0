#include "xml_tree.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include "document_json.h"

namespace gis::carto {

namespace {

const xmlChar* x(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

std::string owned_text(xmlChar* value) {
  std::string out = value ? reinterpret_cast<const char*>(value) : "";
  xmlFree(value);
  return out;
}

}  // namespace

XmlDocument XmlDocument::parse(const std::string& text) {
  XmlDocument out;
  xmlResetLastError();
  out.doc_.reset(xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "UTF-8",
                               XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR));
  if (!out.doc_ || !out.root()) {
    const xmlError* error = xmlGetLastError();
    std::string why = error && error->message ? error->message : "not XML";
    while (!why.empty() && (why.back() == '\n' || why.back() == ' ')) why.pop_back();
    if (error && error->line > 0) why += " (line " + std::to_string(error->line) + ")";
    xmlResetLastError();
    throw DocumentError("is not valid XML: " + why);
  }
  return out;
}

XmlDocument XmlDocument::make(const char* root) {
  XmlDocument out;
  out.doc_.reset(xmlNewDoc(x("1.0")));
  xmlDocSetRootElement(out.doc_.get(), xmlNewNode(nullptr, x(root)));
  return out;
}

XmlDocument XmlDocument::copy() const {
  XmlDocument out;
  out.doc_.reset(xmlCopyDoc(doc_.get(), 1));
  return out;
}

std::string XmlDocument::text() const {
  xmlChar* buffer = nullptr;
  int size = 0;
  // Indented where the document has no whitespace of its own (new elements); text nodes read
  // with the document keep its own layout.
  xmlDocDumpFormatMemoryEnc(doc_.get(), &buffer, &size, "UTF-8", 1);
  std::string out(reinterpret_cast<const char*>(buffer), buffer ? static_cast<size_t>(size) : 0);
  xmlFree(buffer);
  return out;
}

bool xml_is(const xmlNode* node, const char* name) {
  return node && node->type == XML_ELEMENT_NODE && (!name || xmlStrEqual(node->name, x(name)));
}

xmlNode* xml_child(const xmlNode* parent, const char* name) {
  if (!parent) return nullptr;
  for (xmlNode* n = parent->children; n; n = n->next)
    if (xml_is(n, name)) return n;
  return nullptr;
}

std::vector<xmlNode*> xml_children(const xmlNode* parent, const char* name) {
  std::vector<xmlNode*> out;
  if (!parent) return out;
  for (xmlNode* n = parent->children; n; n = n->next)
    if (xml_is(n, name)) out.push_back(n);
  return out;
}

xmlNode* xml_path(const xmlNode* parent, std::initializer_list<const char*> names) {
  const xmlNode* node = parent;
  for (const char* name : names) {
    node = xml_child(node, name);
    if (!node) return nullptr;
  }
  return const_cast<xmlNode*>(node);
}

std::string xml_attr(const xmlNode* node, const char* name, const std::string& fallback) {
  if (!node || !xmlHasProp(node, x(name))) return fallback;
  return owned_text(xmlGetProp(node, x(name)));
}

bool xml_has_attr(const xmlNode* node, const char* name) { return node && xmlHasProp(node, x(name)); }

void xml_set_attr(xmlNode* node, const char* name, const std::string& value) {
  xmlSetProp(node, x(name), x(value.c_str()));
}

std::string xml_text(const xmlNode* node) { return node ? owned_text(xmlNodeGetContent(node)) : ""; }

void xml_set_text(xmlNode* node, const std::string& text) {
  // xmlNodeSetContent takes entity references literally; the escaped form keeps "&" and "<".
  xmlChar* escaped = xmlEncodeSpecialChars(node->doc, x(text.c_str()));
  xmlNodeSetContent(node, escaped);
  xmlFree(escaped);
}

std::string xml_child_text(const xmlNode* parent, const char* name) { return xml_text(xml_child(parent, name)); }

xmlNode* xml_add(xmlNode* parent, const char* name, const std::string& text) {
  xmlNode* node = xmlNewChild(parent, nullptr, x(name), nullptr);
  if (!text.empty()) xml_set_text(node, text);
  return node;
}

xmlNode* xml_ensure(xmlNode* parent, const char* name) {
  xmlNode* node = xml_child(parent, name);
  return node ? node : xml_add(parent, name);
}

void xml_remove(xmlNode* node) {
  xmlUnlinkNode(node);
  xmlFreeNode(node);
}

}  // namespace gis::carto
