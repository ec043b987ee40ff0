// The maker's GIS control library: the error box and the pickers of map objects (a layer
// picker, a feature picker, highlight and focus buttons, and the polygon picker that joins
// them). Every ArcObjects reference a control keeps is a counted reference released when
// it is replaced or when the control is destroyed. Texts are ANSI (Windows-1251).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include <windows.h>

#include <toolkit/button.h>
#include <toolkit/combo_box.h>
#include <toolkit/panel.h>
#include <toolkit/types.h>

#include "arcobjects/arcobjects.h"
#include "extension/vot_arcmap_areaclip_atl.h"

// Error message box: no owner window, caption "Ошибка!", OK only, no icon; returns once
// the user has confirmed it.
void show_error(const char* text);

// The waits of the highlight go through this function (Sleep unless replaced); returns the
// previous one. Tests replace it so that a highlight does not take three seconds.
using Tvo_arcgis_sleep_function = void (*)(DWORD milliseconds);
Tvo_arcgis_sleep_function set_arcgis_sleep_function(Tvo_arcgis_sleep_function sleep);
// Waits through the current sleep function.
void vot_arcgis_sleep(DWORD milliseconds);

// An ordered list of counted layer references.
class Tvo_arcgis_layers_vector {
 public:
  void clear();
  // Appends the layer with a reference of its own.
  void add(TComInterface<ILayer> layer);
  // index in 0 .. count() - 1: a new reference.
  TComInterface<ILayer> at(int index) const;
  // The first index holding the very same reference, or -1.
  int find(ILayer* layer) const;
  int count() const { return static_cast<int>(f_items.size()); }

 private:
  std::vector<TComInterface<ILayer>> f_items;
};

// An ordered list of object ids.
class Tvo_arcgis_id_vector {
 public:
  void clear() { f_items.clear(); }
  void add(LONG id) { f_items.push_back(id); }
  // index in 0 .. count() - 1.
  LONG at(int index) const { return f_items.at(static_cast<size_t>(index)); }
  // The first index holding id, or -1.
  int find(LONG id) const;
  int count() const { return static_cast<int>(f_items.size()); }

 private:
  std::vector<LONG> f_items;
};

// A set of esriGeometryType values 0 to 22 as a 32-bit bit set (bit n = type n). Empty means
// that no geometry filter applies; a type outside 0 to 22 is never in the set.
class Tvo_arcgis_geometry_types {
 public:
  Tvo_arcgis_geometry_types() = default;
  Tvo_arcgis_geometry_types(std::initializer_list<LONG> types);
  void include(LONG type);
  bool contains(LONG type) const;
  bool empty() const { return f_bits == 0; }
  uint32_t bits() const { return f_bits; }

 private:
  uint32_t f_bits = 0;
};

// The registry text form of a GUID: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
std::string guid_registry_text(const GUID& guid);

// Picks one layer of a map: a caption on the left and a drop-down list whose first entry is
// "Не выбран" (not selected), then the listed layers' names. The list is rebuilt by
// set_map, set_layer_filter and set_geometry_types; the selection survives a rebuild when
// the same layer reference is listed again. The change notification is called only when the
// user chooses an entry.
class Tvo_arcgis_layers_combo_box : public TPanel {
 public:
  explicit Tvo_arcgis_layers_combo_box(TComponent* AOwner);

  void set_caption(const std::string& text);
  void set_map(TComInterface<IMap> map);
  // With a filter only layers answering that interface are listed (IMap Layers with a UID);
  // GUID_NULL lists every layer.
  void set_layer_filter(const GUID& filter);
  // With the filter IID_IFeatureLayer and a non-empty set, only feature layers whose feature
  // class's shape type is in the set are listed.
  void set_geometry_types(Tvo_arcgis_geometry_types types);
  TComInterface<ILayer> selected_layer() const;
  void combo_change(TObject* Sender);

  void set_on_change(TNotifyEvent handler) { f_on_change = std::move(handler); }
  TComboBox* combo() const { return f_combo; }

 private:
  void build();
  void fill();

  TPanel* f_caption_panel = nullptr;
  TComboBox* f_combo = nullptr;
  TComInterface<IMap> f_map;
  Tvo_arcgis_layers_vector f_layers;
  TComInterface<ILayer> f_selected_layer;
  GUID f_layer_filter = GUID_NULL;
  Tvo_arcgis_geometry_types f_geometry_types;
  TNotifyEvent f_on_change;
};

// Picks one feature of a feature layer: entries "Не выбран", then one label per listed
// feature (its display field's value; the object id when the layer has no usable display
// field). The selection survives a rebuild when a feature with the same object id is listed
// again, also in another layer.
class Tvo_arcgis_objects_combo_box : public TPanel {
 public:
  explicit Tvo_arcgis_objects_combo_box(TComponent* AOwner);

  void set_caption(const std::string& text);
  // Refills the list only when layer is not the layer held now.
  void set_layer(TComInterface<IFeatureLayer> layer);
  // A non-empty set lists only features whose shape's geometry type is in it.
  void set_geometry_types(Tvo_arcgis_geometry_types types);
  TComInterface<IFeature> get_feature() const;
  void combo_change(TObject* Sender);

  void set_on_change(TNotifyEvent handler) { f_on_change = std::move(handler); }
  TComboBox* combo() const { return f_combo; }
  // The object ids of the listed features: combo entry k (k ≥ 1) belongs to index k − 1.
  const Tvo_arcgis_id_vector& ids() const { return f_ids; }

 private:
  void build();
  void fill();

  TPanel* f_top_panel = nullptr;
  TPanel* f_caption_panel = nullptr;
  TComboBox* f_combo = nullptr;
  TComInterface<IFeatureLayer> f_feature_layer;
  Tvo_arcgis_geometry_types f_geometry_types;
  Tvo_arcgis_id_vector f_ids;
  TComInterface<IFeature> f_selected_feature;
  TNotifyEvent f_on_change;
};

// Two buttons for the picked feature: "Подсветить" flashes it on the display (six XOR
// drawings 500 ms apart), "Сфокусировать" zooms the map to it. Both are enabled exactly
// when a feature class and a display are set and the object id is ≥ 0.
class Tvo_arcgis_object_flash_panel : public TPanel {
 public:
  explicit Tvo_arcgis_object_flash_panel(TComponent* AOwner);

  void set_feature_class(TComInterface<IFeatureClass> feature_class);
  void set_display(TComInterface<IDisplay> display);
  void set_map(TComInterface<IMap> map);
  void set_object_id(LONG id);
  void update_buttons();
  void highlight_click(TObject* Sender);
  void focus_click(TObject* Sender);

  TButton* highlight_button() const { return f_highlight_button; }
  TButton* focus_button() const { return f_focus_button; }

 private:
  void build();
  bool ready() const;

  TButton* f_highlight_button = nullptr;
  TButton* f_focus_button = nullptr;
  TComInterface<IFeatureClass> f_feature_class;
  TComInterface<IDisplay> f_display;
  TComInterface<IMap> f_map;
  LONG f_object_id = -1;
};

// The polygon picker: a captioned group box holding a layer picker, a feature picker and
// the flash panel, kept consistent by refresh. `build` makes the children; call it once.
class Tvo_arcgis_layer_object_panel : public TPanel {
 public:
  explicit Tvo_arcgis_layer_object_panel(TComponent* AOwner);

  void build();
  void set_caption(const std::string& text);
  void set_layer_caption(const std::string& text);
  void set_object_caption(const std::string& text);
  void set_map(TComInterface<IMap> map);
  void set_layer_filter(const GUID& filter);
  void set_geometry_types(Tvo_arcgis_geometry_types types);
  void set_display(TComInterface<IDisplay> display);
  TComInterface<IFeature> get_feature() const;
  void refresh();

  void set_on_change(TNotifyEvent handler) { f_on_change = std::move(handler); }
  Tvo_arcgis_layers_combo_box* layers_combo_box() const { return f_layers_combo_box; }
  Tvo_arcgis_objects_combo_box* objects_combo_box() const { return f_objects_combo_box; }
  Tvo_arcgis_object_flash_panel* flash_panel() const { return f_flash_panel; }

 private:
  void refresh_and_notify(TObject* Sender);

  TGroupBox* f_group_box = nullptr;
  Tvo_arcgis_layers_combo_box* f_layers_combo_box = nullptr;
  Tvo_arcgis_objects_combo_box* f_objects_combo_box = nullptr;
  Tvo_arcgis_object_flash_panel* f_flash_panel = nullptr;
  TNotifyEvent f_on_change;
};
