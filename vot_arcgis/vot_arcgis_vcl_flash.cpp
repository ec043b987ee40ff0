// The highlight and focus buttons, and the polygon picker that joins the three controls.
#include "vot_arcgis_params.h"
#include "vot_arcgis_vcl.h"

namespace {

constexpr int kFlashDrawings = 6;
constexpr DWORD kFlashWaitMs = 500;

TComInterface<IColor> make_white() {
  TComInterface<IRgbColor> rgb;
  create_com_object(CLSID_RgbColor, rgb);
  if (!rgb) return nullptr;
  rgb->put_Red(255);
  rgb->put_Green(255);
  rgb->put_Blue(255);
  TComInterface<IColor> color;
  color = rgb;
  return color;
}

TComInterface<ISimpleLineSymbol> make_white_line(const TComInterface<IColor>& color) {
  TComInterface<ISimpleLineSymbol> line;
  create_com_object(CLSID_SimpleLineSymbol, line);
  if (!line) return line;
  line->put_Color(color);
  line->put_Style(esriSLSSolid);
  line->put_Width(3.0);
  return line;
}

TButton* make_button(TComponent* owner, TWinControl* parent, const char* name, const char* caption) {
  auto* button = new TButton(owner);
  button->Name = name;
  button->Parent = parent;
  button->Width = 140;
  button->Align = alRight;
  button->AlignWithMargins = true;
  button->Caption = caption;
  return button;
}

}  // namespace

Tvo_arcgis_object_flash_panel::Tvo_arcgis_object_flash_panel(TComponent* AOwner) : TPanel(AOwner) {
  Height = 30;
  AlignWithMargins = true;
  BevelOuter = bvNone;
  Caption = "";
  build();
  update_buttons();
}

void Tvo_arcgis_object_flash_panel::build() {
  f_highlight_button = make_button(this, this, "f_highlight_button", "Подсветить");
  f_highlight_button->OnClick = [this](TObject* Sender) { highlight_click(Sender); };
  f_focus_button = make_button(this, this, "f_focus_button", "Сфокусировать");
  f_focus_button->OnClick = [this](TObject* Sender) { focus_click(Sender); };
}

void Tvo_arcgis_object_flash_panel::set_feature_class(TComInterface<IFeatureClass> feature_class) {
  f_feature_class = std::move(feature_class);
  update_buttons();
}

void Tvo_arcgis_object_flash_panel::set_display(TComInterface<IDisplay> display) {
  f_display = std::move(display);
  update_buttons();
}

void Tvo_arcgis_object_flash_panel::set_map(TComInterface<IMap> map) {
  f_map = std::move(map);
  update_buttons();
}

void Tvo_arcgis_object_flash_panel::set_object_id(LONG id) {
  f_object_id = id;
  update_buttons();
}

bool Tvo_arcgis_object_flash_panel::ready() const { return f_feature_class && f_display && f_object_id >= 0; }

void Tvo_arcgis_object_flash_panel::update_buttons() {
  const bool enabled = ready();
  f_highlight_button->Enabled = enabled;
  f_focus_button->Enabled = enabled;
}

void Tvo_arcgis_object_flash_panel::highlight_click(TObject*) {
  if (!ready()) return;
  TComInterface<IFeature> feature;
  f_feature_class->GetFeature(f_object_id, &feature);
  if (!feature) return;
  TComInterface<IGeometry> geometry;
  feature->get_Shape(&geometry);
  if (!geometry) return;
  if (f_map) {
    TComInterface<ISpatialReference> spatial_reference;
    f_map->get_SpatialReference(&spatial_reference);
    if (spatial_reference) geometry->Project(spatial_reference);
  }
  esriGeometryType type = esriGeometryNull;
  geometry->get_GeometryType(&type);
  if (type < esriGeometryPoint || type > esriGeometryPolygon) return;

  TComInterface<IColor> white = make_white();
  TComInterface<ISymbol> symbol;
  if (type == esriGeometryPoint || type == esriGeometryMultipoint) {
    TComInterface<ISimpleMarkerSymbol> marker;
    create_com_object(CLSID_SimpleMarkerSymbol, marker);
    if (marker) {
      marker->put_Color(white);
      marker->put_Style(esriSMSCircle);
      marker->put_Outline(VARIANT_FALSE);
      marker->put_Size(5.0);
      symbol = marker;
    }
  } else if (type == esriGeometryPolyline) {
    TComInterface<ISimpleLineSymbol> line = make_white_line(white);
    if (line) symbol = line;
  } else {
    TComInterface<ISimpleFillSymbol> fill;
    create_com_object(CLSID_SimpleFillSymbol, fill);
    if (fill) {
      fill->put_Color(white);
      fill->put_Style(esriSFSSolid);
      TComInterface<ISimpleLineSymbol> outline = make_white_line(white);
      TComInterface<ILineSymbol> outline_line;
      outline_line = outline;
      fill->put_Outline(outline_line);
      symbol = fill;
    }
  }
  if (symbol) symbol->put_ROP2(esriROPXOrPen);

  f_display->StartDrawing(0, -1);
  f_display->SetSymbol(symbol);
  for (int i = 0; i < kFlashDrawings; ++i) {
    vot_arcgis_sleep(kFlashWaitMs);
    switch (type) {
      case esriGeometryPoint: f_display->DrawPoint(geometry); break;
      case esriGeometryMultipoint: f_display->DrawMultipoint(geometry); break;
      case esriGeometryPolyline: f_display->DrawPolyline(geometry); break;
      default: f_display->DrawPolygon(geometry); break;
    }
  }
  f_display->FinishDrawing();
}

void Tvo_arcgis_object_flash_panel::focus_click(TObject*) {
  if (!ready() || !f_map) return;
  TComInterface<IFeatureBookmark> bookmark;
  create_com_object(CLSID_FeatureBookmark, bookmark);
  if (!bookmark) return;
  bookmark->putref_FeatureClass(f_feature_class);
  bookmark->put_FeatureId(f_object_id);
  bookmark->ZoomTo(f_map);
}

Tvo_arcgis_layer_object_panel::Tvo_arcgis_layer_object_panel(TComponent* AOwner) : TPanel(AOwner) {
  Height = 120;
  BevelOuter = bvNone;
  Caption = "";
}

void Tvo_arcgis_layer_object_panel::build() {
  f_group_box = new TGroupBox(this);
  f_group_box->Name = "f_group_box";
  f_group_box->Parent = this;
  f_group_box->Align = alClient;

  f_layers_combo_box = new Tvo_arcgis_layers_combo_box(this);
  f_layers_combo_box->Name = "f_layers_combo_box";
  f_layers_combo_box->Parent = f_group_box;
  f_layers_combo_box->Align = alTop;

  f_objects_combo_box = new Tvo_arcgis_objects_combo_box(this);
  f_objects_combo_box->Name = "f_objects_combo_box";
  f_objects_combo_box->Parent = f_group_box;
  f_objects_combo_box->Align = alTop;

  f_flash_panel = new Tvo_arcgis_object_flash_panel(this);
  f_flash_panel->Name = "f_flash_panel";
  f_flash_panel->Parent = f_group_box;
  f_flash_panel->Align = alTop;

  f_layers_combo_box->set_on_change([this](TObject* Sender) { refresh_and_notify(Sender); });
  f_objects_combo_box->set_on_change([this](TObject* Sender) { refresh_and_notify(Sender); });
}

void Tvo_arcgis_layer_object_panel::set_caption(const std::string& text) { f_group_box->Caption = text; }

void Tvo_arcgis_layer_object_panel::set_layer_caption(const std::string& text) {
  f_layers_combo_box->set_caption(text);
}

void Tvo_arcgis_layer_object_panel::set_object_caption(const std::string& text) {
  f_objects_combo_box->set_caption(text);
}

void Tvo_arcgis_layer_object_panel::set_map(TComInterface<IMap> map) {
  f_layers_combo_box->set_map(map);
  f_flash_panel->set_map(map);
  refresh();
}

void Tvo_arcgis_layer_object_panel::set_layer_filter(const GUID& filter) {
  f_layers_combo_box->set_layer_filter(filter);
  refresh();
}

void Tvo_arcgis_layer_object_panel::set_geometry_types(Tvo_arcgis_geometry_types types) {
  f_layers_combo_box->set_geometry_types(types);
  f_objects_combo_box->set_geometry_types(types);
  refresh();
}

void Tvo_arcgis_layer_object_panel::set_display(TComInterface<IDisplay> display) {
  f_flash_panel->set_display(std::move(display));
  refresh();
}

TComInterface<IFeature> Tvo_arcgis_layer_object_panel::get_feature() const { return f_objects_combo_box->get_feature(); }

void Tvo_arcgis_layer_object_panel::refresh() {
  TComInterface<IFeatureLayer> feature_layer;
  if (TComInterface<ILayer> layer = f_layers_combo_box->selected_layer()) feature_layer = layer;
  f_objects_combo_box->set_layer(feature_layer);
  TComInterface<IFeatureClass> feature_class;
  if (feature_layer) feature_layer->get_FeatureClass(&feature_class);
  f_flash_panel->set_feature_class(feature_class);
  LONG id = -1;
  if (TComInterface<IFeature> feature = f_objects_combo_box->get_feature()) {
    if (FAILED(feature->get_OID(&id))) id = -1;
  }
  f_flash_panel->set_object_id(id);
}

void Tvo_arcgis_layer_object_panel::refresh_and_notify(TObject*) {
  refresh();
  if (f_on_change) f_on_change(this);
}
