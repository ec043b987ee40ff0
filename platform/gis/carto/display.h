// Display: the application's screen display (IAppDisplay, IDisplay). Every call is recorded
// with what it was given (see gis/display.h) and, when a painter is set, drawn by it.
// Drawing outside StartDrawing … FinishDrawing is refused with E_FAIL, as a display without
// a device is.
#pragma once

#include <mutex>
#include <vector>

#include <win32/com_object.h>

#include "arcobjects/arcobjects.h"
#include "gis/display.h"

namespace gis::carto {

class Display : public win32::ComObject<Display, IAppDisplay> {
 public:
  HRESULT STDMETHODCALLTYPE StartDrawing(OLE_HANDLE hDC, SHORT cacheID) override;
  HRESULT STDMETHODCALLTYPE FinishDrawing() override;
  HRESULT STDMETHODCALLTYPE SetSymbol(ISymbol* symbol) override;
  HRESULT STDMETHODCALLTYPE DrawPoint(IGeometry* point) override;
  HRESULT STDMETHODCALLTYPE DrawMultipoint(IGeometry* multipoint) override;
  HRESULT STDMETHODCALLTYPE DrawPolyline(IGeometry* polyline) override;
  HRESULT STDMETHODCALLTYPE DrawPolygon(IGeometry* polygon) override;
  HRESULT STDMETHODCALLTYPE DrawRectangle(IEnvelope* rectangle) override;
  HRESULT STDMETHODCALLTYPE DrawText(IGeometry* at, BSTR text) override;

  std::vector<DisplayCall> calls() const;
  void clear();
  void set_painter(DisplayPainter* painter) { painter_ = painter; }

 private:
  HRESULT draw(DisplayCall::Kind kind, IGeometry* geometry, BSTR text = nullptr);
  void record(DisplayCall call);

  mutable std::mutex mutex_;
  std::vector<DisplayCall> calls_;
  bool drawing_ = false;
  DisplayPainter* painter_ = nullptr;
  DrawnSymbol symbol_;
};

}  // namespace gis::carto
