// Stages 4 to 6: the open document re-pointed at the clipped shapefiles, its outside
// graphics deleted, and the document saved as the result.
#include <windows.h>

#include "extension/vot_arcmap_areaclip_exec.h"

int Tvo_arcmap_areaclip_execute::relink_layers() {
  for (int i = 0; i < records->count(); ++i) {
    Tvo_arcmap_areaclip_lr* record = records->get(i);
    if (!record->get_layer()->is_feature_layer()) continue;
    TComInterface<IFeatureLayer> layer;
    layer = record->get_layer()->get_layer();
    if (!record->is_done()) continue;
    if (!layer) continue;

    std::string folder, file;
    split_file_path(record->get_file_name(), folder, file);
    TComInterface<IWorkspaceFactory> factory;
    create_com_object(CLSID_ShapefileWorkspaceFactory, factory);
    TComInterface<IWorkspace> workspace;
    Tvo_bstr folder_text(folder), file_text(file);
    if (factory) factory->OpenFromFile(folder_text.get(), 0, &workspace);
    if (!workspace) return 1;
    TComInterface<IFeatureWorkspace> feature_workspace;
    feature_workspace = workspace;
    TComInterface<IFeatureClass> feature_class;
    if (feature_workspace) feature_workspace->OpenFeatureClass(file_text.get(), &feature_class);
    // The fields the layer names (display field, renderer fields) are looked up in the
    // class it drew until now, then named as the shapefile holds them.
    TComInterface<IFeatureClass> source;
    layer->get_FeatureClass(&source);
    if (!source && !feature_class) continue;  // nothing to draw before, nothing now
    TComInterface<IFields> source_fields;
    if (source) source->get_Fields(&source_fields);
    const Tvo_arcgis_field_names& names = record->get_field_names();
    undo->layer_changing(layer);
    layer->putref_FeatureClass(feature_class);

    adapt_display_field(layer, source_fields, names);

    TComInterface<IGeoFeatureLayer> geo_layer;
    geo_layer = layer;
    TComInterface<IFeatureRenderer> layer_renderer;
    if (geo_layer) geo_layer->get_Renderer(&layer_renderer);
    renderer->set_renderer(layer_renderer);
    renderer->adapt_field_names(source_fields, names);
  }
  renderer->set_renderer(nullptr);
  return 0;
}

int Tvo_arcmap_areaclip_execute::clip_graphics() {
  int code = collect_graphics_layers();
  if (code != 0) return code;
  return delete_outside_graphics();
}

int Tvo_arcmap_areaclip_execute::collect_graphics_layers() {
  graphics_layers->clear();
  TComInterface<IMap> map;
  TComInterface<IMxDocument> document = params->get_document();
  if (document) document->get_FocusMap(&map);
  if (!map) return 0;
  TComInterface<IGraphicsLayer> basic;
  map->get_BasicGraphicsLayer(&basic);
  if (basic) {
    TComInterface<ILayer> layer;
    layer = basic;
    if (layer) graphics_layers->add()->set_layer(layer);
  }
  // The list grows while it is walked: a breadth-first flattening of the layer tree.
  for (int i = 0; i < graphics_layers->count(); ++i) {
    Tvo_arcgis_ptr_layer* handle = graphics_layers->get(i);
    if (!handle->is_composite_layer()) continue;
    TComInterface<ICompositeLayer> composite;
    composite = handle->get_layer();
    if (!composite) continue;
    LONG count = 0;
    composite->get_Count(&count);
    for (LONG j = 0; j < count; ++j) {
      TComInterface<ILayer> sub_layer;
      composite->get_Layer(j, &sub_layer);
      graphics_layers->add()->set_layer(sub_layer);
    }
  }
  return 0;
}

int Tvo_arcmap_areaclip_execute::delete_outside_graphics() {
  int count = graphics_layers->count();
  for (int i = 0; i < count; ++i) {
    Tvo_arcgis_ptr_layer* handle = graphics_layers->get(i);
    if (!handle->is_graphics_container()) continue;
    TComInterface<IGraphicsContainer> container;
    container = handle->get_layer();
    if (!container) continue;
    undo->graphics_changing(container);
    container->Reset();
    TComInterface<IElement> element;
    while (container->Next(&element) == S_OK) {
      TComInterface<IGeometry> geometry;
      element->get_Geometry(&geometry);
      esriGeometryType type = esriGeometryNull;
      if (geometry) geometry->get_GeometryType(&type);
      TComInterface<ITopologicalOperator> topology;
      topology = polygon;
      TComInterface<IGeometry> result;
      if (topology && geometry) topology->Intersect(geometry, intersection_dimension(type), &result);
      VARIANT_BOOL empty = VARIANT_TRUE;
      if (result) result->get_IsEmpty(&empty);
      if (!result || empty) container->DeleteElement(element);
    }
  }
  return 0;
}

int Tvo_arcmap_areaclip_execute::save_map() {
  TComInterface<IApplication> application = params->get_application();
  const std::string& path = params->get_newmap()->get_map_path();
  if (!application) return 1;
  force_folder(path);
  Tvo_bstr path_text(path);
  // A failed save must not pass for success: the caller would open a missing document.
  if (FAILED(application->SaveDocument(path_text.get()))) return 1;
  return 0;
}
