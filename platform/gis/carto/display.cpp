#include "display.h"

#include <win32/com_error.h>
#include <win32/text.h>

#include "gis/core.h"
#include "symbol_look.h"

namespace gis::carto {

void Display::record(DisplayCall call) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back(std::move(call));
}

std::vector<DisplayCall> Display::calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

void Display::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.clear();
}

HRESULT Display::StartDrawing(OLE_HANDLE hDC, SHORT cacheID) {
  DisplayCall call;
  call.kind = DisplayCall::StartDrawing;
  call.hdc = hDC;
  call.cache_id = cacheID;
  record(call);
  drawing_ = true;
  if (painter_) painter_->StartDrawing();
  return S_OK;
}

HRESULT Display::FinishDrawing() {
  DisplayCall call;
  call.kind = DisplayCall::FinishDrawing;
  record(call);
  drawing_ = false;
  if (painter_) painter_->FinishDrawing();
  return S_OK;
}

HRESULT Display::SetSymbol(ISymbol* symbol) {
  if (!symbol) return E_POINTER;
  return win32::com_guard([&] {
    DisplayCall call;
    call.kind = DisplayCall::SetSymbol;
    call.symbol = describe_symbol(symbol);
    symbol_ = call.symbol;
    record(call);
    return S_OK;
  });
}

HRESULT Display::draw(DisplayCall::Kind kind, IGeometry* geometry, BSTR text) {
  if (!geometry) return E_POINTER;
  return win32::com_guard([&] {
    DisplayCall call;
    call.kind = kind;
    geometry->get_GeometryType(&call.geometry_type);
    win32::ComPtr<IEnvelope> envelope;
    if (SUCCEEDED(geometry->get_Envelope(envelope.put())) && envelope) {
      envelope->get_XMin(&call.xmin);
      envelope->get_YMin(&call.ymin);
      envelope->get_XMax(&call.xmax);
      envelope->get_YMax(&call.ymax);
    }
    if (text) call.text = win32::bstr_to_utf8(text);
    record(call);
    if (!drawing_) return E_FAIL;
    if (painter_) painter_->Draw(call, symbol_, GeometryParts(geometry));
    return S_OK;
  });
}

HRESULT Display::DrawPoint(IGeometry* point) { return draw(DisplayCall::DrawPoint, point); }
HRESULT Display::DrawMultipoint(IGeometry* multipoint) { return draw(DisplayCall::DrawMultipoint, multipoint); }
HRESULT Display::DrawPolyline(IGeometry* polyline) { return draw(DisplayCall::DrawPolyline, polyline); }
HRESULT Display::DrawPolygon(IGeometry* polygon) { return draw(DisplayCall::DrawPolygon, polygon); }
HRESULT Display::DrawRectangle(IEnvelope* rectangle) { return draw(DisplayCall::DrawRectangle, rectangle); }
HRESULT Display::DrawText(IGeometry* at, BSTR text) { return draw(DisplayCall::DrawText, at, text); }

}  // namespace gis::carto

namespace gis {

std::vector<DisplayCall> DisplayCalls(IUnknown* display) {
  auto* impl = dynamic_cast<carto::Display*>(display);
  return impl ? impl->calls() : std::vector<DisplayCall>();
}

DisplayPainter::~DisplayPainter() = default;

void SetDisplayPainter(IUnknown* display, DisplayPainter* painter) {
  if (auto* impl = dynamic_cast<carto::Display*>(display)) impl->set_painter(painter);
}

void ClearDisplayCalls(IUnknown* display) {
  if (auto* impl = dynamic_cast<carto::Display*>(display)) impl->clear();
}

std::vector<DrawnPart> GeometryParts(IGeometry* geometry) {
  std::vector<DrawnPart> out;
  for (const ShapeParts& shape : GeometryShapes(geometry)) {
    int begin = 0;
    for (int end : shape.part_ends) {
      DrawnPart drawn;
      drawn.dimension = shape.dimension;
      for (int i = begin; i < end; ++i) drawn.points.emplace_back(shape.xy[2 * i], shape.xy[2 * i + 1]);
      out.push_back(std::move(drawn));
      begin = end;
    }
  }
  return out;
}

const char* DisplayCallName(DisplayCall::Kind kind) {
  switch (kind) {
    case DisplayCall::StartDrawing: return "StartDrawing";
    case DisplayCall::FinishDrawing: return "FinishDrawing";
    case DisplayCall::SetSymbol: return "SetSymbol";
    case DisplayCall::DrawPoint: return "DrawPoint";
    case DisplayCall::DrawMultipoint: return "DrawMultipoint";
    case DisplayCall::DrawPolyline: return "DrawPolyline";
    case DisplayCall::DrawPolygon: return "DrawPolygon";
    case DisplayCall::DrawRectangle: return "DrawRectangle";
    case DisplayCall::DrawText: return "DrawText";
  }
  return "?";
}

}  // namespace gis
