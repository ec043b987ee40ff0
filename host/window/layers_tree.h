// LayersTree: the table of contents. The document's maps (data frames, the focus map in
// bold), their group layers and layers, each layer with a box that switches its visibility
// and its legend (its symbol, or its classes under it); a switch calls on_visibility_changed
// so the canvas draws again. A layer's context menu zooms the map to it and opens a
// feature layer's attribute table.
#pragma once

#include <functional>
#include <vector>

#include <QTreeWidget>

class QMenu;

#include <win32/com_ptr.h>

#include "arcobjects/arcobjects.h"

namespace host {

class LayersTree : public QTreeWidget {
 public:
  explicit LayersTree(QWidget* parent = nullptr);
  void set_document(IMxDocument* document);
  std::function<void()> on_visibility_changed;
  std::function<void(ILayer* layer)> on_zoom_to_layer;
  std::function<void(ILayer* layer)> on_attribute_table;
  // The layer an item shows; null for a map, a legend entry or none.
  ILayer* layer_of(QTreeWidgetItem* item) const;
  // The context menu of an item (null when it is no layer's), to be shown or driven by a test;
  // the caller owns it.
  QMenu* menu_for(QTreeWidgetItem* item);

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void add_layer(QTreeWidgetItem* parent, ILayer* layer);
  std::vector<win32::ComPtr<ILayer>> layers_;  // by the index kept in each item
  bool filling_ = false;
};

}  // namespace host
