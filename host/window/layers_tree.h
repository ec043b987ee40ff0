// LayersTree: the table of contents. The document's maps (data frames, the focus map in
// bold), their group layers and layers, each layer with a box that switches its visibility
// and its legend (its symbol, or its classes under it); a switch calls on_visibility_changed
// so the canvas draws again.
#pragma once

#include <functional>
#include <vector>

#include <QTreeWidget>

#include <win32/com_ptr.h>

#include "arcobjects/arcobjects.h"

namespace host {

class LayersTree : public QTreeWidget {
 public:
  explicit LayersTree(QWidget* parent = nullptr);
  void set_document(IMxDocument* document);
  std::function<void()> on_visibility_changed;

 private:
  void add_layer(QTreeWidgetItem* parent, ILayer* layer);
  std::vector<win32::ComPtr<ILayer>> layers_;  // by the index kept in each item
  bool filling_ = false;
};

}  // namespace host
