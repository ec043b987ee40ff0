#include "ogr_values.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <win32/com_error.h>
#include <win32/text.h>

#include "diagnostics.h"

namespace gis::core {

namespace {

// Days from the civil date (proleptic Gregorian) to 1970-01-01.
long long days_from_civil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civil_from_days(long long z, int* y, int* m, int* d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (*m <= 2));
}

constexpr long long kOleEpochDays = -25569;  // 1899-12-30 relative to 1970-01-01

// Whether the 64-bit integer is a double exactly (every one up to 2^53 is).
bool exact_double(long long n) {
  if (n >= -(1LL << 53) && n <= (1LL << 53)) return true;
  const double d = static_cast<double>(n);
  return d < 9223372036854775808.0 && static_cast<long long>(d) == n;
}

[[noreturn]] void too_wide(const Column& c, const std::string& value, int width) {
  win32::throw_hr(E_FAIL, "the value " + value + " does not fit field " + c.name + " (width " +
                              std::to_string(width) + ")");
}

}  // namespace

double ole_date(int year, int month, int day, int hour, int minute, double second) {
  long long days = days_from_civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kOleEpochDays;
  return static_cast<double>(days) + (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

void ole_date_parts(double date, int* year, int* month, int* day, int* hour, int* minute, double* second) {
  double whole = std::floor(date);
  double seconds = std::round((date - whole) * 86400.0 * 1000.0) / 1000.0;
  if (seconds >= 86400.0) {
    whole += 1;
    seconds -= 86400.0;
  }
  civil_from_days(static_cast<long long>(whole) + kOleEpochDays, year, month, day);
  *hour = static_cast<int>(seconds / 3600);
  *minute = static_cast<int>((seconds - *hour * 3600) / 60);
  *second = seconds - *hour * 3600 - *minute * 60;
}

FieldSpec field_from_ogr(const OGRFieldDefn& defn) {
  FieldSpec s;
  s.name = defn.GetNameRef();
  s.alias = defn.GetAlternativeNameRef() && *defn.GetAlternativeNameRef() ? defn.GetAlternativeNameRef() : s.name;
  s.nullable = defn.IsNullable() != 0;
  int width = defn.GetWidth();
  switch (defn.GetType()) {
    case OFTInteger:
      s.type = esriFieldTypeInteger;
      s.length = 4;
      s.precision = width;
      break;
    case OFTInteger64:
      // The object model has no 64-bit integer: a wide one is a Double without decimals,
      // of the width a .dbf needs for every 64-bit value when the source names none.
      s.type = width >= 1 && width <= 9 ? esriFieldTypeInteger : esriFieldTypeDouble;
      s.length = s.type == esriFieldTypeInteger ? 4 : 8;
      s.precision = width > 0 ? width : kInteger64Digits;
      break;
    case OFTReal:
      s.type = esriFieldTypeDouble;
      s.length = 8;
      s.precision = width;
      s.scale = defn.GetPrecision();
      break;
    case OFTDate:
    case OFTDateTime:
    case OFTTime:
      s.type = esriFieldTypeDate;
      s.length = 8;
      break;
    default:
      s.type = esriFieldTypeString;
      s.length = width;
      break;
  }
  return s;
}

void read_value(OGRFeature& f, const Column& c, VARIANT* out) {
  VariantInit(out);
  int i = c.ogr_index;
  if (!f.IsFieldSetAndNotNull(i)) {
    out->vt = VT_NULL;
    return;
  }
  switch (c.type) {
    case esriFieldTypeInteger:
      out->vt = VT_I4;
      out->lVal = static_cast<LONG>(f.GetFieldAsInteger64(i));
      break;
    case esriFieldTypeDouble:
      out->vt = VT_R8;
      out->dblVal = f.GetFieldAsDouble(i);
      // A 64-bit integer presented as a double: past 2^53 not every integer is a double,
      // so such a value stays the 64-bit integer it is (VT_I8).
      if (f.GetFieldDefnRef(i)->GetType() == OFTInteger64) {
        const GIntBig n = f.GetFieldAsInteger64(i);
        if (!exact_double(n)) {
          out->vt = VT_I8;
          out->llVal = n;
        }
      }
      break;
    case esriFieldTypeDate: {
      int y = 0, mo = 0, d = 0, h = 0, mi = 0, tz = 0;
      float sec = 0;
      f.GetFieldAsDateTime(i, &y, &mo, &d, &h, &mi, &sec, &tz);
      if (f.GetFieldDefnRef(i)->GetType() == OFTTime) y = 1899, mo = 12, d = 30;
      out->vt = VT_DATE;
      out->date = ole_date(y, mo, d, h, mi, sec);
      break;
    }
    default:
      out->vt = VT_BSTR;
      out->bstrVal = win32::bstr_from_utf8(f.GetFieldAsString(i));
      break;
  }
}

HRESULT convert_for_field(esriFieldType type, const VARIANT& v, VARIANT* out) {
  VariantInit(out);
  if (v.vt == VT_NULL || v.vt == VT_EMPTY) {
    out->vt = VT_NULL;
    return S_OK;
  }
  switch (type) {
    case esriFieldTypeSmallInteger:
    case esriFieldTypeInteger: return VariantChangeType(out, &v, 0, VT_I4);
    case esriFieldTypeSingle:
    case esriFieldTypeDouble:
      // A 64-bit integer that no double is stays whole: a field without decimals holds it.
      if (v.vt == VT_I8 && !exact_double(v.llVal)) return VariantCopy(out, &v);
      return VariantChangeType(out, &v, 0, VT_R8);
    case esriFieldTypeString: return VariantChangeType(out, &v, 0, VT_BSTR);
    case esriFieldTypeDate: return VariantChangeType(out, &v, 0, VT_DATE);
    default: return DISP_E_TYPEMISMATCH;
  }
}

void write_value(OGRFeature& f, const Column& c, const VARIANT& v, bool fixed_width) {
  int i = c.ogr_index;
  if (v.vt == VT_NULL || v.vt == VT_EMPTY) {
    f.SetFieldNull(i);
    return;
  }
  const OGRFieldDefn* defn = f.GetFieldDefnRef(i);
  int width = defn->GetWidth();
  switch (defn->GetType()) {
    case OFTInteger:
    case OFTInteger64: {
      VARIANT n;
      VariantInit(&n);
      if (FAILED(VariantChangeType(&n, &v, 0, VT_I8))) win32::throw_hr(DISP_E_TYPEMISMATCH, "field " + c.name + ": not an integer");
      std::string text = std::to_string(n.llVal);
      if (fixed_width && width > 0 && static_cast<int>(text.size()) > width) too_wide(c, text, width);
      if (defn->GetType() == OFTInteger && (n.llVal < INT32_MIN || n.llVal > INT32_MAX)) too_wide(c, text, width);
      f.SetField(i, static_cast<GIntBig>(n.llVal));
      break;
    }
    case OFTReal: {
      VARIANT d;
      VariantInit(&d);
      if (FAILED(VariantChangeType(&d, &v, 0, VT_R8))) win32::throw_hr(DISP_E_TYPEMISMATCH, "field " + c.name + ": not a number");
      if (v.vt == VT_I8 && !exact_double(v.llVal))
        report_change("numbers of field " + c.name + " rounded to the nearest double (more than 15 digits)");
      if (fixed_width && width > 0) {
        // The .dbf holds the number as text with the field's decimals.
        // (to_chars and from_chars write and read as printf and strtod do, faster.)
        char text[400];
        const auto written = std::to_chars(text, text + sizeof text - 1, d.dblVal, std::chars_format::fixed,
                                           defn->GetPrecision());
        if (written.ec != std::errc()) too_wide(c, std::to_string(d.dblVal), width);  // hundreds of digits
        *written.ptr = '\0';
        if (static_cast<int>(written.ptr - text) > width) too_wide(c, text, width);
        double back = 0;
        if (std::isfinite(d.dblVal) && (std::from_chars(text, written.ptr, back).ec != std::errc() || back != d.dblVal))
          report_change("numbers of field " + c.name + " rounded to its " + std::to_string(defn->GetPrecision()) +
                        " decimals");
      }
      f.SetField(i, d.dblVal);
      break;
    }
    case OFTDate:
    case OFTDateTime:
    case OFTTime: {
      VARIANT d;
      VariantInit(&d);
      if (FAILED(VariantChangeType(&d, &v, 0, VT_DATE))) win32::throw_hr(DISP_E_TYPEMISMATCH, "field " + c.name + ": not a date");
      int y, mo, day, h, mi;
      double s;
      ole_date_parts(d.date, &y, &mo, &day, &h, &mi, &s);
      if (defn->GetType() == OFTDate && (h != 0 || mi != 0 || s != 0))
        report_change("times of field " + c.name + " dropped (a .dbf date holds the day only)");
      f.SetField(i, y, mo, day, h, mi, static_cast<float>(s), 0);
      break;
    }
    default: {
      VARIANT b;
      VariantInit(&b);
      if (FAILED(VariantChangeType(&b, &v, 0, VT_BSTR))) win32::throw_hr(DISP_E_TYPEMISMATCH, "field " + c.name + ": not text");
      std::string text = win32::bstr_to_utf8(b.bstrVal);
      VariantClear(&b);
      if (fixed_width && width > 0 && static_cast<int>(text.size()) > width) {
        // Cut where a character ends, so the value stays valid UTF-8.
        size_t n = static_cast<size_t>(width);
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
        text.resize(n);
        report_change("texts of field " + c.name + " longer than its " + std::to_string(width) +
                      " bytes cut at a character boundary");
      }
      f.SetField(i, text.c_str());
      break;
    }
  }
}

}  // namespace gis::core
