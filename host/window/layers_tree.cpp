#include "layers_tree.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <gis/render.h>

#include <win32/text.h>

namespace host {

namespace {

constexpr int kLayerRole = Qt::UserRole + 1;

// A legend entry's symbol as an icon, drawn from its SVG as the canvas draws the map.
QIcon icon_of(const std::string& svg) {
  QSvgRenderer renderer(QByteArray::fromStdString(svg));
  QPixmap picture(24, 16);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  renderer.render(&painter);
  return QIcon(picture);
}

QString name_of(ILayer* layer) {
  win32::Bstr name;
  layer->get_Name(name.put());
  return QString::fromStdString(name.utf8());
}

}  // namespace

LayersTree::LayersTree(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  connect(this, &QTreeWidget::itemChanged, [this](QTreeWidgetItem* item, int) {
    if (filling_) return;
    ILayer* layer = layer_of(item);
    if (!layer) return;
    layer->put_Visible(item->checkState(0) == Qt::Checked ? VARIANT_TRUE : VARIANT_FALSE);
    if (on_visibility_changed) on_visibility_changed();
  });
}

ILayer* LayersTree::layer_of(QTreeWidgetItem* item) const {
  const QVariant index = item ? item->data(0, kLayerRole) : QVariant();
  return index.isValid() ? layers_.at(index.toUInt()).get() : nullptr;
}

QMenu* LayersTree::menu_for(QTreeWidgetItem* item) {
  ILayer* layer = layer_of(item);
  if (!layer) return nullptr;
  win32::ComPtr<ILayer> held(layer);  // the document may be shown again meanwhile
  auto* menu = new QMenu(this);
  menu->addAction("&Zoom to layer", [this, held] {
    if (on_zoom_to_layer) on_zoom_to_layer(held.get());
  })->setObjectName("zoom_to_layer");
  if (win32::query<IFeatureLayer>(layer))
    menu->addAction("Open &attribute table", [this, held] {
      if (on_attribute_table) on_attribute_table(held.get());
    })->setObjectName("attribute_table");
  return menu;
}

void LayersTree::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = menu_for(itemAt(event->pos()));
  if (!menu) return;
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

void LayersTree::add_layer(QTreeWidgetItem* parent, ILayer* layer) {
  auto* item = new QTreeWidgetItem(parent, {name_of(layer)});
  VARIANT_BOOL visible = VARIANT_FALSE;
  layer->get_Visible(&visible);
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  item->setCheckState(0, visible != VARIANT_FALSE ? Qt::Checked : Qt::Unchecked);
  item->setData(0, kLayerRole, static_cast<unsigned>(layers_.size()));
  layers_.emplace_back(layer);
  // The legend: a layer of one symbol shows it beside its name, a classified layer lists its
  // classes under it.
  const std::vector<gis::LegendSwatch> legend = gis::LayerLegend(layer);
  if (legend.size() == 1 && legend[0].label == name_of(layer).toStdString()) {
    item->setIcon(0, icon_of(legend[0].svg));
  } else {
    for (const gis::LegendSwatch& entry : legend) {
      auto* swatch = new QTreeWidgetItem(item, {QString::fromStdString(entry.label)});
      swatch->setIcon(0, icon_of(entry.svg));
      swatch->setFlags(Qt::ItemIsEnabled);
    }
  }
  if (auto group = win32::query<ICompositeLayer>(layer)) {
    LONG count = 0;
    group->get_Count(&count);
    for (LONG i = 0; i < count; ++i) {
      win32::ComPtr<ILayer> child;
      if (SUCCEEDED(group->get_Layer(i, child.put())) && child) add_layer(item, child.get());
    }
  }
}

void LayersTree::set_document(IMxDocument* document) {
  filling_ = true;
  clear();
  layers_.clear();
  win32::ComPtr<IMaps> maps;
  win32::ComPtr<IMap> focus;
  if (document) {
    document->get_Maps(maps.put());
    document->get_FocusMap(focus.put());
  }
  LONG count = 0;
  if (maps) maps->get_Count(&count);
  for (LONG m = 0; m < count; ++m) {
    win32::ComPtr<IMap> map;
    if (FAILED(maps->get_Item(m, map.put())) || !map) continue;
    win32::Bstr name;
    map->get_Name(name.put());
    auto* frame = new QTreeWidgetItem(this, {QString::fromStdString(name.utf8())});
    QFont font = frame->font(0);
    font.setBold(map.get() == focus.get());
    frame->setFont(0, font);
    LONG layer_count = 0;
    map->get_LayerCount(&layer_count);
    for (LONG i = 0; i < layer_count; ++i) {
      win32::ComPtr<ILayer> layer;
      if (SUCCEEDED(map->get_Layer(i, layer.put())) && layer) add_layer(frame, layer.get());
    }
  }
  expandAll();
  filling_ = false;
}

}  // namespace host
