// The layer picker and the feature picker.
#include <windows.h>
#include <oleauto.h>

#include "vot_arcgis_params.h"
#include "vot_arcgis_vcl.h"

namespace {

const char kNotSelected[] = "Не выбран";

TPanel* make_caption_panel(TComponent* owner, TWinControl* parent, const char* name) {
  auto* panel = new TPanel(owner);
  panel->Name = name;
  panel->Parent = parent;
  panel->Align = alLeft;
  panel->BevelOuter = bvNone;
  panel->Alignment = taLeftJustify;
  panel->Caption = "";
  return panel;
}

TComboBox* make_combo(TComponent* owner, TWinControl* parent, const char* name) {
  auto* combo = new TComboBox(owner);
  combo->Name = name;
  combo->Parent = parent;
  combo->Align = alClient;
  combo->Style = csDropDownList;
  return combo;
}

// The label of a display-field value: text as it is, numbers as written, dates as dates,
// null as empty.
std::string value_label(const VARIANT& value) {
  if (value.vt == VT_NULL || value.vt == VT_EMPTY) return "";
  if (value.vt == VT_BSTR) return bstr_to_ansi(value.bstrVal);
  VARIANT text;
  VariantInit(&text);
  std::string label;
  // MinGW-w64 declares the source without const; it is only read.
  if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(&value), 0, VT_BSTR))) label = bstr_to_ansi(text.bstrVal);
  VariantClear(&text);
  return label;
}

}  // namespace

Tvo_arcgis_layers_combo_box::Tvo_arcgis_layers_combo_box(TComponent* AOwner) : TPanel(AOwner) {
  Height = 26;
  AlignWithMargins = true;
  BevelOuter = bvNone;
  Caption = "";
  build();
}

void Tvo_arcgis_layers_combo_box::build() {
  f_caption_panel = make_caption_panel(this, this, "f_layer_caption_panel");
  f_combo = make_combo(this, this, "f_layers_combo");
  f_combo->OnChange = [this](TObject* Sender) { combo_change(Sender); };
  f_combo->Items->Add(kNotSelected);
  f_combo->ItemIndex = 0;
}

void Tvo_arcgis_layers_combo_box::set_caption(const std::string& text) { f_caption_panel->Caption = text; }

void Tvo_arcgis_layers_combo_box::set_map(TComInterface<IMap> map) {
  f_map = std::move(map);
  fill();
}

void Tvo_arcgis_layers_combo_box::set_layer_filter(const GUID& filter) {
  f_layer_filter = filter;
  fill();
}

void Tvo_arcgis_layers_combo_box::set_geometry_types(Tvo_arcgis_geometry_types types) {
  f_geometry_types = types;
  fill();
}

TComInterface<ILayer> Tvo_arcgis_layers_combo_box::selected_layer() const { return f_selected_layer; }

void Tvo_arcgis_layers_combo_box::fill() {
  f_combo->Items->Clear();
  f_layers.clear();
  f_combo->Items->Add(kNotSelected);
  if (f_map) {
    TComInterface<IEnumLayer> layers;
    if (f_layer_filter != GUID_NULL) {
      TComInterface<IUID> uid;
      create_com_object(CLSID_UID, uid);
      if (uid) {
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_BSTR;
        value.bstrVal = ansi_to_bstr(guid_registry_text(f_layer_filter));
        uid->put_Value(value);
        VariantClear(&value);
        f_map->get_Layers(uid, VARIANT_TRUE, &layers);
      }
    } else {
      f_map->get_Layers(nullptr, VARIANT_TRUE, &layers);
    }
    const bool by_shape = f_layer_filter == IID_IFeatureLayer && !f_geometry_types.empty();
    if (layers) {
      layers->Reset();
      TComInterface<ILayer> layer;
      while (layers->Next(&layer) == S_OK && layer) {
        if (by_shape) {
          TComInterface<IFeatureLayer> feature_layer;
          feature_layer = layer;
          TComInterface<IFeatureClass> feature_class;
          if (feature_layer) feature_layer->get_FeatureClass(&feature_class);
          esriGeometryType type = esriGeometryNull;
          if (!feature_class || FAILED(feature_class->get_ShapeType(&type)) || !f_geometry_types.contains(type))
            continue;
        }
        Tvo_bstr name;
        layer->get_Name(&name);
        f_combo->Items->Add(name.ansi());
        f_layers.add(layer);
      }
    }
  }
  const int index = f_selected_layer ? f_layers.find(f_selected_layer) : -1;
  if (index >= 0) {
    f_combo->ItemIndex = index + 1;
  } else {
    f_combo->ItemIndex = 0;
    f_selected_layer = nullptr;
  }
}

void Tvo_arcgis_layers_combo_box::combo_change(TObject*) {
  const int index = f_combo->ItemIndex;
  if (index < 1)
    f_selected_layer = nullptr;
  else
    f_selected_layer = f_layers.at(index - 1);
  if (f_on_change) f_on_change(this);
}

Tvo_arcgis_objects_combo_box::Tvo_arcgis_objects_combo_box(TComponent* AOwner) : TPanel(AOwner) {
  Height = 26;
  AlignWithMargins = true;
  BevelOuter = bvNone;
  Caption = "";
  build();
}

void Tvo_arcgis_objects_combo_box::build() {
  f_top_panel = new TPanel(this);
  f_top_panel->Name = "f_object_top_panel";
  f_top_panel->Parent = this;
  f_top_panel->Align = alTop;
  f_top_panel->Height = 26;
  f_top_panel->BevelOuter = bvNone;
  f_top_panel->Caption = "";
  f_caption_panel = make_caption_panel(this, f_top_panel, "f_object_caption_panel");
  f_combo = make_combo(this, f_top_panel, "f_objects_combo");
  f_combo->OnChange = [this](TObject* Sender) { combo_change(Sender); };
  f_combo->Items->Add(kNotSelected);
  f_combo->ItemIndex = 0;
}

void Tvo_arcgis_objects_combo_box::set_caption(const std::string& text) { f_caption_panel->Caption = text; }

void Tvo_arcgis_objects_combo_box::set_layer(TComInterface<IFeatureLayer> layer) {
  if (layer.get() == f_feature_layer.get()) return;
  f_feature_layer = std::move(layer);
  fill();
}

void Tvo_arcgis_objects_combo_box::set_geometry_types(Tvo_arcgis_geometry_types types) {
  f_geometry_types = types;
  fill();
}

TComInterface<IFeature> Tvo_arcgis_objects_combo_box::get_feature() const { return f_selected_feature; }

void Tvo_arcgis_objects_combo_box::fill() {
  f_combo->Items->Clear();
  f_ids.clear();
  f_combo->Items->Add(kNotSelected);
  bool found = false;
  LONG selected_id = -1;
  const bool has_selection = f_selected_feature && SUCCEEDED(f_selected_feature->get_OID(&selected_id));
  TComInterface<IFeatureClass> feature_class;
  if (f_feature_layer) f_feature_layer->get_FeatureClass(&feature_class);
  if (feature_class) {
    LONG display_field = -1;
    Tvo_bstr name;
    f_feature_layer->get_DisplayField(&name);
    if (FAILED(feature_class->FindField(name.get(), &display_field))) display_field = -1;
    TComInterface<IFeatureCursor> cursor;
    feature_class->Search(nullptr, VARIANT_FALSE, &cursor);
    TComInterface<IFeature> feature;
    while (cursor && cursor->NextFeature(&feature) == S_OK && feature) {
      LONG id = -1;
      feature->get_OID(&id);
      if (!f_geometry_types.empty()) {
        TComInterface<IGeometry> shape;
        feature->get_Shape(&shape);
        esriGeometryType type = esriGeometryNull;
        if (!shape || FAILED(shape->get_GeometryType(&type)) || !f_geometry_types.contains(type)) continue;
      }
      std::string label;
      if (display_field >= 0) {
        VARIANT value;
        VariantInit(&value);
        feature->get_Value(display_field, &value);
        label = value_label(value);
        VariantClear(&value);
      } else {
        label = std::to_string(id);
      }
      f_combo->Items->Add(label);
      f_ids.add(id);
      if (has_selection && id == selected_id) {
        f_selected_feature = feature;
        found = true;
      }
    }
  }
  if (found) {
    f_combo->ItemIndex = f_ids.find(selected_id) + 1;
  } else {
    f_combo->ItemIndex = 0;
    f_selected_feature = nullptr;
  }
}

void Tvo_arcgis_objects_combo_box::combo_change(TObject*) {
  const int index = f_combo->ItemIndex;
  f_selected_feature = nullptr;
  if (index > 0) {
    const LONG id = f_ids.at(index - 1);
    TComInterface<IFeatureClass> feature_class;
    if (f_feature_layer) f_feature_layer->get_FeatureClass(&feature_class);
    TComInterface<IFeature> feature;
    if (feature_class && SUCCEEDED(feature_class->GetFeature(id, &feature)) && feature) f_selected_feature = feature;
  }
  if (f_on_change) f_on_change(this);
}
