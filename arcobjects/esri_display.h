// Display: colours, symbols and the drawing surface.
#pragma once

#include "esri_geometry.h"

struct IColor : IUnknown {
  // 0x00BBGGRR, as Windows COLORREF.
  virtual HRESULT STDMETHODCALLTYPE get_RGB(LONG* rgb) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_RGB(LONG rgb) = 0;
};

struct IRgbColor : IColor {
  using base_interface = IColor;
  virtual HRESULT STDMETHODCALLTYPE get_Red(LONG* v) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Red(LONG v) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Green(LONG* v) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Green(LONG v) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Blue(LONG* v) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Blue(LONG v) = 0;
};

struct ISymbol : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_ROP2(esriRasterOpCode* rop) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ROP2(esriRasterOpCode rop) = 0;
};

struct IMarkerSymbol : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Color(IColor** color) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Color(IColor* color) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Size(double* size) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Size(double size) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Angle(double* angle) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Angle(double angle) = 0;
};

struct ISimpleMarkerSymbol : IMarkerSymbol {
  using base_interface = IMarkerSymbol;
  virtual HRESULT STDMETHODCALLTYPE get_Style(esriSimpleMarkerStyle* style) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Style(esriSimpleMarkerStyle style) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Outline(VARIANT_BOOL* outline) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Outline(VARIANT_BOOL outline) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_OutlineSize(double* size) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_OutlineSize(double size) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_OutlineColor(IColor** color) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_OutlineColor(IColor* color) = 0;
};

struct ILineSymbol : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Color(IColor** color) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Color(IColor* color) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Width(double* width) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Width(double width) = 0;
};

struct ISimpleLineSymbol : ILineSymbol {
  using base_interface = ILineSymbol;
  virtual HRESULT STDMETHODCALLTYPE get_Style(esriSimpleLineStyle* style) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Style(esriSimpleLineStyle style) = 0;
};

struct IFillSymbol : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Color(IColor** color) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Color(IColor* color) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Outline(ILineSymbol** outline) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Outline(ILineSymbol* outline) = 0;
};

struct ISimpleFillSymbol : IFillSymbol {
  using base_interface = IFillSymbol;
  virtual HRESULT STDMETHODCALLTYPE get_Style(esriSimpleFillStyle* style) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Style(esriSimpleFillStyle style) = 0;
};

struct IDisplay : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE StartDrawing(OLE_HANDLE hDC, SHORT cacheID) = 0;
  virtual HRESULT STDMETHODCALLTYPE FinishDrawing() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetSymbol(ISymbol* symbol) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrawPoint(IGeometry* point) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrawMultipoint(IGeometry* multipoint) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrawPolyline(IGeometry* polyline) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrawPolygon(IGeometry* polygon) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrawRectangle(IEnvelope* rectangle) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrawText(IGeometry* at, BSTR text) = 0;
};

// The application's screen display.
struct IAppDisplay : IDisplay {
  using base_interface = IDisplay;
};
