// Maps and layers: layer kinds, maps, graphics, renderers and bookmarks.
#pragma once

#include "esri_display.h"
#include "esri_geodatabase.h"
#include "esri_system.h"

struct ILayer : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* visible) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL visible) = 0;
  // False when the layer's data source is missing.
  virtual HRESULT STDMETHODCALLTYPE get_Valid(VARIANT_BOOL* valid) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AreaOfInterest(IEnvelope** extent) = 0;
};

struct IFeatureRenderer : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CanRender(IFeatureClass* featureClass, IDisplay* display,
                                              VARIANT_BOOL* canRender) = 0;
};

struct IFeatureLayer : ILayer {
  using base_interface = ILayer;
  virtual HRESULT STDMETHODCALLTYPE get_FeatureClass(IFeatureClass** featureClass) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_FeatureClass(IFeatureClass* featureClass) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DisplayField(BSTR* field) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DisplayField(BSTR field) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DataSourceType(BSTR* type) = 0;
};

struct IGeoFeatureLayer : IFeatureLayer {
  using base_interface = IFeatureLayer;
  virtual HRESULT STDMETHODCALLTYPE get_Renderer(IFeatureRenderer** renderer) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_Renderer(IFeatureRenderer* renderer) = 0;
};

struct ICompositeLayer : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Layer(LONG index, ILayer** layer) = 0;
};

struct IGroupLayer : ILayer {
  using base_interface = ILayer;
  virtual HRESULT STDMETHODCALLTYPE Add(ILayer* layer) = 0;
  virtual HRESULT STDMETHODCALLTYPE Delete(ILayer* layer) = 0;
  virtual HRESULT STDMETHODCALLTYPE Clear() = 0;
};

struct IEnumLayer : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
  // S_OK with the next layer; S_FALSE and null at the end.
  virtual HRESULT STDMETHODCALLTYPE Next(ILayer** layer) = 0;
};

struct IElement : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Geometry(IGeometry** geometry) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Geometry(IGeometry* geometry) = 0;
};

struct ITextElement : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Text(BSTR* text) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Text(BSTR text) = 0;
};

struct IGraphicsContainer : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE AddElement(IElement* element, LONG zorder) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteElement(IElement* element) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteAllElements() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
  // S_OK with the next element; S_FALSE and null at the end.
  virtual HRESULT STDMETHODCALLTYPE Next(IElement** element) = 0;
};

struct IGraphicsLayer : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_AssociatedLayer(ILayer** layer) = 0;
};

struct IActiveView : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Extent(IEnvelope** extent) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Extent(IEnvelope* extent) = 0;
  virtual HRESULT STDMETHODCALLTYPE Refresh() = 0;
};

struct IMap : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LayerCount(LONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Layer(LONG index, ILayer** layer) = 0;
  // Layers that answer the interface named by uid (all when uid is null), descending
  // into group layers when recursive.
  virtual HRESULT STDMETHODCALLTYPE get_Layers(IUID* uid, VARIANT_BOOL recursive, IEnumLayer** layers) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddLayer(ILayer* layer) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SpatialReference(ISpatialReference** sr) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_SpatialReference(ISpatialReference* sr) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_BasicGraphicsLayer(IGraphicsLayer** layer) = 0;
};

struct IMaps : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Item(LONG index, IMap** map) = 0;
};

struct ISimpleRenderer : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Symbol(ISymbol** symbol) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_Symbol(ISymbol* symbol) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Label(BSTR* label) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Label(BSTR label) = 0;
};

struct IUniqueValueRenderer : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_FieldCount(LONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_FieldCount(LONG count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Field(LONG index, BSTR* field) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Field(LONG index, BSTR field) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_FieldDelimiter(BSTR* delimiter) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_FieldDelimiter(BSTR delimiter) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ValueCount(LONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Value(LONG index, BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddValue(BSTR value, BSTR heading, ISymbol* symbol) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Label(BSTR value, BSTR* label) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Label(BSTR value, BSTR label) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Symbol(BSTR value, ISymbol** symbol) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DefaultSymbol(ISymbol** symbol) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_DefaultSymbol(ISymbol* symbol) = 0;
};

struct IClassBreaksRenderer : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Field(BSTR* field) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Field(BSTR field) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_BreakCount(LONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Break(LONG index, double* upper) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Symbol(LONG index, ISymbol** symbol) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Label(LONG index, BSTR* label) = 0;
};

struct ISpatialBookmark : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR name) = 0;
  // Makes the map show the bookmarked place.
  virtual HRESULT STDMETHODCALLTYPE ZoomTo(IMap* map) = 0;
};

struct IFeatureBookmark : ISpatialBookmark {
  using base_interface = ISpatialBookmark;
  virtual HRESULT STDMETHODCALLTYPE get_FeatureClass(IFeatureClass** featureClass) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_FeatureClass(IFeatureClass* featureClass) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_FeatureId(LONG* id) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_FeatureId(LONG id) = 0;
};
