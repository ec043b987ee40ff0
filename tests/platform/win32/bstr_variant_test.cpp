#include <gtest/gtest.h>

#include <string>

#include <objbase.h>
#include <win32/text.h>

#include "support/com_test.h"

namespace {

using testing_support::CountedUnknown;
using testing_support::ref_count;

TEST(Bstr, LengthPrefixAndTerminator) {
  LONG before = SysStringsOutstanding();
  BSTR b = SysAllocStringLen(u"abcdef", 3);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(SysStringLen(b), 3u);
  EXPECT_EQ(SysStringByteLen(b), 6u);
  EXPECT_EQ(b[3], 0);
  EXPECT_EQ(*reinterpret_cast<uint32_t*>(b - 2), 6u);
  EXPECT_EQ(SysStringsOutstanding(), before + 1);
  SysFreeString(b);
  EXPECT_EQ(SysStringsOutstanding(), before);
}

TEST(Bstr, EmbeddedZerosAndNullHandling) {
  BSTR b = SysAllocStringLen(u"a\0b", 3);
  EXPECT_EQ(SysStringLen(b), 3u);
  EXPECT_EQ(win32::bstr_view(b), std::u16string_view(u"a\0b", 3));
  SysFreeString(b);
  SysFreeString(nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  BSTR empty = SysAllocStringLen(nullptr, 4);  // zero-filled, as on Windows
  EXPECT_EQ(SysStringLen(empty), 4u);
  EXPECT_EQ(empty[0], 0);
  SysFreeString(empty);
}

TEST(Bstr, ReAllocReplacesAndFrees) {
  LONG before = SysStringsOutstanding();
  BSTR b = SysAllocString(u"one");
  ASSERT_TRUE(SysReAllocString(&b, u"three"));
  EXPECT_EQ(win32::bstr_to_utf8(b), "three");
  SysFreeString(b);
  EXPECT_EQ(SysStringsOutstanding(), before);
}

TEST(Variant, ClearFreesStringAndReleasesObject) {
  LONG before = SysStringsOutstanding();
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(u"x");
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(v.vt, VT_EMPTY);
  EXPECT_EQ(SysStringsOutstanding(), before);

  int destroyed = 0;
  auto obj = CountedUnknown::make(&destroyed);
  v.vt = VT_UNKNOWN;
  v.punkVal = obj.copy();
  EXPECT_EQ(ref_count(obj.get()), 2u);
  VariantClear(&v);
  EXPECT_EQ(ref_count(obj.get()), 1u);
  obj.reset();
  EXPECT_EQ(destroyed, 1);
}

TEST(Variant, CopyDuplicatesStringAndAddsReference) {
  VARIANT a, b;
  VariantInit(&a);
  VariantInit(&b);
  a.vt = VT_BSTR;
  a.bstrVal = SysAllocString(u"text");
  ASSERT_EQ(VariantCopy(&b, &a), S_OK);
  EXPECT_NE(a.bstrVal, b.bstrVal);
  EXPECT_EQ(win32::bstr_to_utf8(b.bstrVal), "text");
  VariantClear(&a);
  VariantClear(&b);

  auto obj = CountedUnknown::make();
  a.vt = VT_UNKNOWN;
  a.punkVal = obj.copy();
  b.vt = VT_I4;
  b.lVal = 5;
  ASSERT_EQ(VariantCopy(&b, &a), S_OK);
  EXPECT_EQ(ref_count(obj.get()), 3u);
  VariantClear(&a);
  VariantClear(&b);
  EXPECT_EQ(ref_count(obj.get()), 1u);
}

struct ChangeCase {
  VARTYPE from_vt;
  double number;
  const char16_t* text;
  VARTYPE to;
  HRESULT hr;
  const char* expected_text;  // for VT_BSTR results
  double expected_number;     // otherwise
};

void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.from_vt << "->" << c.to; }

class VariantChange : public testing::TestWithParam<ChangeCase> {};

TEST_P(VariantChange, Converts) {
  const ChangeCase& c = GetParam();
  VARIANT src, dst;
  VariantInit(&src);
  VariantInit(&dst);
  src.vt = c.from_vt;
  if (c.from_vt == VT_BSTR) src.bstrVal = SysAllocString(c.text);
  else if (c.from_vt == VT_R8) src.dblVal = c.number;
  else if (c.from_vt == VT_I4) src.lVal = static_cast<LONG>(c.number);
  else if (c.from_vt == VT_DATE) src.date = c.number;
  HRESULT hr = VariantChangeType(&dst, &src, 0, c.to);
  EXPECT_EQ(hr, c.hr);
  if (SUCCEEDED(hr)) {
    ASSERT_EQ(dst.vt, c.to);
    if (c.to == VT_BSTR) {
      EXPECT_EQ(win32::bstr_to_utf8(dst.bstrVal), c.expected_text);
    } else if (c.to == VT_R8) {
      EXPECT_DOUBLE_EQ(dst.dblVal, c.expected_number);
    } else if (c.to == VT_I4) {
      EXPECT_EQ(dst.lVal, static_cast<LONG>(c.expected_number));
    } else if (c.to == VT_DATE) {
      EXPECT_DOUBLE_EQ(dst.date, c.expected_number);
    }
  }
  VariantClear(&src);
  VariantClear(&dst);
}

INSTANTIATE_TEST_SUITE_P(
    Table, VariantChange,
    testing::Values(ChangeCase{VT_I4, 42, nullptr, VT_BSTR, S_OK, "42", 0},
                    ChangeCase{VT_R8, 1.5, nullptr, VT_BSTR, S_OK, "1.5", 0},
                    ChangeCase{VT_R8, 123456789.25, nullptr, VT_BSTR, S_OK, "123456789.25", 0},
                    ChangeCase{VT_BSTR, 0, u" 12.5 ", VT_R8, S_OK, nullptr, 12.5},
                    ChangeCase{VT_BSTR, 0, u"12x", VT_R8, DISP_E_TYPEMISMATCH, nullptr, 0},
                    ChangeCase{VT_R8, 3e10, nullptr, VT_I4, DISP_E_OVERFLOW, nullptr, 0},
                    ChangeCase{VT_R8, -7.6, nullptr, VT_I4, S_OK, nullptr, -8},
                    ChangeCase{VT_DATE, 45000, nullptr, VT_BSTR, S_OK, "2023-03-15", 0},
                    ChangeCase{VT_DATE, 45000.5, nullptr, VT_BSTR, S_OK, "2023-03-15 12:00:00", 0},
                    ChangeCase{VT_BSTR, 0, u"1899-12-30", VT_DATE, S_OK, nullptr, 0},
                    ChangeCase{VT_BSTR, 0, u"2023-03-15", VT_DATE, S_OK, nullptr, 45000}));

}  // namespace
