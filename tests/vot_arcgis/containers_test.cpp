#include <gtest/gtest.h>

#include "support/com_test.h"
#include "vot_arcgis/vot_arcgis_vcl.h"

namespace {

using testing_support::CountedUnknown;
using testing_support::ref_count;

// A layer that is nothing but a counted object: the vector only counts and compares.
struct FakeLayer {
  int destroyed = 0;
  win32::ComPtr<CountedUnknown> object = CountedUnknown::make(&destroyed);
  ILayer* as_layer() const { return reinterpret_cast<ILayer*>(static_cast<IUnknown*>(object.get())); }
};

TEST(ArcgisLayersVector, AddsFindsAndReleasesItsReferences) {
  FakeLayer a, b;
  {
    Tvo_arcgis_layers_vector layers;
    layers.add(a.as_layer());
    layers.add(b.as_layer());
    layers.add(a.as_layer());
    ASSERT_EQ(layers.count(), 3);
    EXPECT_EQ(ref_count(a.object.get()), 3u);
    EXPECT_EQ(layers.find(a.as_layer()), 0);
    EXPECT_EQ(layers.find(b.as_layer()), 1);
    EXPECT_EQ(layers.find(nullptr), -1);
    EXPECT_EQ(layers.at(1).get(), b.as_layer());
    EXPECT_EQ(ref_count(b.object.get()), 2u);  // at's reference is gone again
    layers.clear();
    EXPECT_EQ(layers.count(), 0);
    EXPECT_EQ(ref_count(a.object.get()), 1u);
    layers.add(b.as_layer());
  }
  EXPECT_EQ(ref_count(b.object.get()), 1u);
}

TEST(ArcgisIdVector, FindsTheFirstMatch) {
  Tvo_arcgis_id_vector ids;
  ids.add(5);
  ids.add(0);
  ids.add(5);
  ASSERT_EQ(ids.count(), 3);
  EXPECT_EQ(ids.find(5), 0);
  EXPECT_EQ(ids.find(0), 1);
  EXPECT_EQ(ids.find(-1), -1);
  EXPECT_EQ(ids.at(2), 5);
  ids.clear();
  EXPECT_EQ(ids.count(), 0);
}

TEST(ArcgisGeometryTypes, HoldsTypesZeroToTwentyTwoOnly) {
  Tvo_arcgis_geometry_types types{esriGeometryPolygon, esriGeometryLine, 23, -1, 40};
  EXPECT_EQ(types.bits(), (1u << 4) | (1u << 13));
  EXPECT_TRUE(types.contains(esriGeometryPolygon));
  EXPECT_FALSE(types.contains(esriGeometryPolyline));
  EXPECT_FALSE(types.contains(23));
  EXPECT_FALSE(types.contains(-1));
  EXPECT_TRUE(Tvo_arcgis_geometry_types().empty());
  Tvo_arcgis_geometry_types all;
  for (LONG t = 0; t <= 22; ++t) all.include(t);
  EXPECT_EQ(all.bits(), (1u << 23) - 1);
}

TEST(ArcgisGuidText, IsTheRegistryForm) {
  EXPECT_EQ(guid_registry_text(IID_IFeatureLayer), "{" + [] {
    char s[40];
    const GUID& g = IID_IFeatureLayer;
    std::snprintf(s, sizeof s, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return std::string(s);
  }() + "}");
  EXPECT_EQ(guid_registry_text(GUID_NULL), "{00000000-0000-0000-0000-000000000000}");
  GUID g{0x0A0B0C0D, 0x0102, 0xABCD, {0xEF, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD}};
  EXPECT_EQ(guid_registry_text(g), "{0A0B0C0D-0102-ABCD-EF01-23456789ABCD}");
}

}  // namespace
