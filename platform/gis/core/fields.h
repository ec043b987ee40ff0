// Field descriptions: Field (IField + IFieldEdit), GeometryDef (IGeometryDef +
// IGeometryDefEdit) and Fields (IFields + IFieldsEdit), the ordered collection with a
// case-insensitive name index (FindField in O(1)).
#pragma once

#include <string>
#include <vector>

#include <win32/com_ptr.h>

#include "arcobjects/arcobjects.h"

namespace gis::core {

// Everything a field says about itself. Length, precision and scale read as the object
// model reads them: for strings Length is the width in characters; for numbers
// Precision is the total width in digits and Scale the digits after the point.
struct FieldSpec {
  std::string name;  // UTF-8
  std::string alias;
  esriFieldType type = esriFieldTypeString;
  LONG length = 0;
  LONG precision = 0;
  LONG scale = 0;
  bool nullable = true;
  bool required = false;
  bool editable = true;
  win32::ComPtr<IGeometryDef> geometry_def;
};

win32::ComPtr<IField> make_field(const FieldSpec& desc);
// Reads any IField (ours or not) into a desc.
FieldSpec read_field(IField* field);
win32::ComPtr<IGeometryDef> make_geometry_def(esriGeometryType type, bool has_z, bool has_m, ISpatialReference* sr);
// A collection holding the given fields in order.
win32::ComPtr<IFields> make_fields(const std::vector<win32::ComPtr<IField>>& fields);

// Appends a field to a collection made by make_fields; FindField then also finds it by
// also_known_as (the name it was asked for before a data source shortened it) unless
// that name is taken.
void append_field(IFields* fields, IField* field, const std::string& also_known_as);

// Upper-case form of a field name for comparisons (ASCII, Latin-1, Greek and Cyrillic).
std::u16string fold_case(std::u16string_view name);

void register_field_classes();

}  // namespace gis::core
