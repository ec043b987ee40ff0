// Data access: fields, rows and features, cursors, feature classes and workspaces.
#pragma once

#include "esri_geometry.h"
#include "esri_system.h"

struct IGeometryDef : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_GeometryType(esriGeometryType* type) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_HasM(VARIANT_BOOL* hasM) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_HasZ(VARIANT_BOOL* hasZ) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SpatialReference(ISpatialReference** sr) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AvgNumPoints(LONG* n) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_GridCount(LONG* n) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_GridSize(LONG index, double* size) = 0;
};

struct IGeometryDefEdit : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE put_GeometryType(esriGeometryType type) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_HasM(VARIANT_BOOL hasM) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_HasZ(VARIANT_BOOL hasZ) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_SpatialReference(ISpatialReference* sr) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AvgNumPoints(LONG n) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_GridCount(LONG n) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_GridSize(LONG index, double size) = 0;
};

struct IField : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AliasName(BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Type(esriFieldType* type) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Length(LONG* length) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Precision(LONG* precision) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Scale(LONG* scale) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsNullable(VARIANT_BOOL* nullable) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Required(VARIANT_BOOL* required) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Editable(VARIANT_BOOL* editable) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_GeometryDef(IGeometryDef** def) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DefaultValue(VARIANT* value) = 0;
};

struct IFieldEdit : IField {
  using base_interface = IField;
  virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR name) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AliasName(BSTR name) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Type(esriFieldType type) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Length(LONG length) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Precision(LONG precision) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Scale(LONG scale) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_IsNullable(VARIANT_BOOL nullable) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Required(VARIANT_BOOL required) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Editable(VARIANT_BOOL editable) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_GeometryDef(IGeometryDef* def) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DefaultValue(VARIANT value) = 0;
};

struct IFields : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_FieldCount(LONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Field(LONG index, IField** field) = 0;
  // Index of the field with this name, -1 when there is none.
  virtual HRESULT STDMETHODCALLTYPE FindField(BSTR name, LONG* index) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindFieldByAliasName(BSTR name, LONG* index) = 0;
};

struct IFieldsEdit : IFields {
  using base_interface = IFields;
  virtual HRESULT STDMETHODCALLTYPE AddField(IField* field) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_FieldCount(LONG count) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_Field(LONG index, IField* field) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteAllFields() = 0;
};

struct IRowBuffer : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Value(LONG index, VARIANT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Value(LONG index, VARIANT value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Fields(IFields** fields) = 0;
};

struct IRow : IRowBuffer {
  using base_interface = IRowBuffer;
  virtual HRESULT STDMETHODCALLTYPE get_HasOID(VARIANT_BOOL* hasOID) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_OID(LONG* oid) = 0;
  // Writes the row to its table; fails when the row cannot be written whole.
  virtual HRESULT STDMETHODCALLTYPE Store() = 0;
  virtual HRESULT STDMETHODCALLTYPE Delete() = 0;
};

struct IObjectClass;

struct IObject : IRow {
  using base_interface = IRow;
  virtual HRESULT STDMETHODCALLTYPE get_Class(IObjectClass** objectClass) = 0;
};

struct IFeature : IObject {
  using base_interface = IObject;
  virtual HRESULT STDMETHODCALLTYPE get_ShapeCopy(IGeometry** shape) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Shape(IGeometry** shape) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_Shape(IGeometry* shape) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Extent(IEnvelope** extent) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_FeatureType(esriFeatureType* type) = 0;
};

struct IFeatureCursor : IUnknown {
  // S_OK with the next feature; S_FALSE and null at the end.
  virtual HRESULT STDMETHODCALLTYPE NextFeature(IFeature** feature) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Fields(IFields** fields) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindField(BSTR name, LONG* index) = 0;
  virtual HRESULT STDMETHODCALLTYPE Flush() = 0;
};

struct IQueryFilter : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_WhereClause(BSTR* clause) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_WhereClause(BSTR clause) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SubFields(BSTR* fields) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_SubFields(BSTR fields) = 0;
};

struct IClass : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE FindField(BSTR name, LONG* index) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Fields(IFields** fields) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddField(IField* field) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteField(IField* field) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_HasOID(VARIANT_BOOL* hasOID) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_OIDFieldName(BSTR* name) = 0;
};

struct IObjectClass : IClass {
  using base_interface = IClass;
  virtual HRESULT STDMETHODCALLTYPE get_ObjectClassID(LONG* id) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AliasName(BSTR* name) = 0;
};

struct IFeatureClass : IObjectClass {
  using base_interface = IObjectClass;
  virtual HRESULT STDMETHODCALLTYPE get_ShapeType(esriGeometryType* type) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_FeatureType(esriFeatureType* type) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ShapeFieldName(BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AreaField(IField** field) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LengthField(IField** field) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_FeatureClassID(LONG* id) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateFeature(IFeature** feature) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFeature(LONG id, IFeature** feature) = 0;
  virtual HRESULT STDMETHODCALLTYPE FeatureCount(IQueryFilter* filter, LONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE Search(IQueryFilter* filter, VARIANT_BOOL recycling, IFeatureCursor** cursor) = 0;
};

struct IWorkspace;

struct IDataset : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_BrowseName(BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Category(BSTR* category) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Workspace(IWorkspace** workspace) = 0;
};

struct IWorkspace : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_PathName(BSTR* path) = 0;
};

struct IFeatureWorkspace : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE OpenFeatureClass(BSTR name, IFeatureClass** featureClass) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateFeatureClass(BSTR name, IFields* fields, IUID* clsid, IUID* extclsid,
                                                       esriFeatureType featureType, BSTR shapeFieldName,
                                                       BSTR configKeyword, IFeatureClass** featureClass) = 0;
};

struct IWorkspaceFactory : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Open(IPropertySet* connectionProperties, OLE_HANDLE hWnd,
                                         IWorkspace** workspace) = 0;
  virtual HRESULT STDMETHODCALLTYPE OpenFromFile(BSTR fileName, OLE_HANDLE hWnd, IWorkspace** workspace) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsWorkspace(BSTR fileName, VARIANT_BOOL* isWorkspace) = 0;
};
