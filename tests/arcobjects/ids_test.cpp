#include <gtest/gtest.h>

#include <set>
#include <string>

#include <win32/com_runtime.h>

#include "arcobjects/arcobjects.h"

namespace {

TEST(ArcObjectsIds, HostInterfacesUseTheHostIdentifiers) {
  EXPECT_EQ(win32::guid_to_string(IID_ICommand), "{36B06538-4437-11D1-B970-080009EE4E51}");
  EXPECT_EQ(win32::guid_to_string(IID_IToolBarDef), "{61B318F0-CDA0-11D1-B9A8-080009EE4E51}");
  EXPECT_EQ(win32::guid_to_string(IID_IApplication), "{8E52B9A5-307B-11D2-94C9-080009EEBECB}");
  // The same value, not necessarily the same object: MinGW's __uuidof has its own constant.
  EXPECT_TRUE(IsEqualGUID(__uuidof(IFeatureLayer), IID_IFeatureLayer));
}

TEST(ArcObjectsIds, AllIdentifiersAreDistinct) {
  std::set<std::string> seen;
  for (const GUID* g : {&IID_IUID, &IID_IPropertySet, &IID_ISpatialReference, &IID_IGeometry, &IID_IPolygon,
                        &IID_ITopologicalOperator, &IID_IField, &IID_IFields, &IID_IFeature, &IID_IFeatureClass,
                        &IID_IWorkspaceFactory, &IID_IDisplay, &IID_ILayer, &IID_IFeatureLayer, &IID_IMap,
                        &IID_IMxDocument, &IID_IApplication, &IID_ICommand, &IID_IToolBarDef,
                        &CLSID_ShapefileWorkspaceFactory, &CLSID_PropertySet, &CLSID_Fields, &CLSID_Field,
                        &CLSID_GeometryDef, &CLSID_UID, &CLSID_RgbColor, &CLSID_SimpleMarkerSymbol,
                        &CLSID_SimpleLineSymbol, &CLSID_SimpleFillSymbol, &CLSID_FeatureBookmark})
    EXPECT_TRUE(seen.insert(win32::guid_to_string(*g)).second) << win32::guid_to_string(*g);
}

TEST(ArcObjectsValues, EnumerationNumbers) {
  EXPECT_EQ(esriGeometryPoint, 1);
  EXPECT_EQ(esriGeometryMultipoint, 2);
  EXPECT_EQ(esriGeometryPolyline, 3);
  EXPECT_EQ(esriGeometryPolygon, 4);
  EXPECT_EQ(esriGeometryLine, 13);
  EXPECT_EQ(esriGeometry0Dimension, 1);
  EXPECT_EQ(esriGeometry1Dimension, 2);
  EXPECT_EQ(esriGeometry2Dimension, 4);
  EXPECT_EQ(esriFieldTypeOID, 6);
  EXPECT_EQ(esriFieldTypeGeometry, 7);
  EXPECT_EQ(esriFTSimple, 1);
  EXPECT_EQ(esriROPXOrPen, 7);
  EXPECT_EQ(esriNoScreenCache, -1);
}

}  // namespace
