// Attribute values between OGR features and VARIANTs, and OGR field definitions as the
// object model's field types:
//   Integer → esriFieldTypeInteger (VT_I4); Integer64 → Integer when its width is 1..9
//   digits, else Double without decimals (VT_R8, or VT_I8 for a value no double holds
//   exactly, past 2^53); Real → Double (VT_R8); String → String (VT_BSTR, UTF-8
//   from GDAL converted to UTF-16); Date, DateTime, Time → Date (VT_DATE); other OGR
//   types → String (their text form). A null or unset value reads as VT_NULL.
#pragma once

#include <ogr_feature.h>

#include "fields.h"

namespace gis::core {

// Digits (with the sign) of every 64-bit integer, the width a .dbf needs for one.
constexpr int kInteger64Digits = 20;

// One position of a feature class's field list.
struct Column {
  enum Kind { Oid, Shape, Attribute } kind = Attribute;
  int ogr_index = -1;  // attributes only
  esriFieldType type = esriFieldTypeString;
  std::string name;  // UTF-8, as presented
};

// The field an OGR attribute field is presented as.
FieldSpec field_from_ogr(const OGRFieldDefn& defn);
// The value of column c of f.
void read_value(OGRFeature& f, const Column& c, VARIANT* out);
// The value v as a field of the type holds it (VT_NULL for null and empty); fails with
// DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW when v does not fit the type.
HRESULT convert_for_field(esriFieldType type, const VARIANT& v, VARIANT* out);
// Sets column c of f from v (already converted). When the layer stores values in fixed
// widths (fixed_width), a value that does not fit its field's width throws ComError
// instead of being cut or lost. What the field holds only changed goes to the changes
// channel: a number rounded to the field's decimals, a time dropped from a date, a text
// cut to the field's width.
void write_value(OGRFeature& f, const Column& c, const VARIANT& v, bool fixed_width);

// OLE automation dates (days since 1899-12-30) and calendar fields.
double ole_date(int year, int month, int day, int hour, int minute, double second);
void ole_date_parts(double date, int* year, int* month, int* day, int* hour, int* minute, double* second);

}  // namespace gis::core
