#include "display.h"

#include <win32/com_error.h>
#include <win32/text.h>

namespace gis::carto {

namespace {

LONG rgb_of(IColor* color) {
  LONG rgb = 0;
  if (color) color->get_RGB(&rgb);
  return rgb;
}

}  // namespace

DrawnSymbol describe_symbol(ISymbol* symbol) {
  DrawnSymbol d;
  if (!symbol) return d;
  symbol->get_ROP2(&d.rop2);
  if (auto marker = win32::query<ISimpleMarkerSymbol>(symbol)) {
    d.kind = "marker";
    win32::ComPtr<IColor> color;
    marker->get_Color(color.put());
    d.rgb = rgb_of(color.get());
    esriSimpleMarkerStyle style{};
    marker->get_Style(&style);
    d.style = style;
    marker->get_Size(&d.size);
    VARIANT_BOOL outline = VARIANT_FALSE;
    marker->get_Outline(&outline);
    d.outline = outline != VARIANT_FALSE;
  } else if (auto line = win32::query<ISimpleLineSymbol>(symbol)) {
    d.kind = "line";
    win32::ComPtr<IColor> color;
    line->get_Color(color.put());
    d.rgb = rgb_of(color.get());
    esriSimpleLineStyle style{};
    line->get_Style(&style);
    d.style = style;
    line->get_Width(&d.width);
  } else if (auto fill = win32::query<ISimpleFillSymbol>(symbol)) {
    d.kind = "fill";
    win32::ComPtr<IColor> color;
    fill->get_Color(color.put());
    d.rgb = rgb_of(color.get());
    esriSimpleFillStyle style{};
    fill->get_Style(&style);
    d.style = style;
    win32::ComPtr<ILineSymbol> outline;
    fill->get_Outline(outline.put());
    if (outline) {
      d.outline = true;
      win32::ComPtr<IColor> outline_color;
      outline->get_Color(outline_color.put());
      d.outline_rgb = rgb_of(outline_color.get());
      outline->get_Width(&d.outline_width);
      if (auto simple = outline.as<ISimpleLineSymbol>()) {
        esriSimpleLineStyle line_style{};
        simple->get_Style(&line_style);
        d.outline_style = line_style;
      }
    }
  }
  return d;
}

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
