// A layer's attribute table: its features' fields, read-only, read from the layer's feature
// class as the view scrolls (a chunk of rows at a time, so opening a large layer reads only
// its first rows); sorting by a column reads the rest first. The rows selected are shown on
// the map (MapCanvas::set_selection) and "Zoom to selection" shows them whole.
#pragma once

#include <string>
#include <vector>

#include <QAbstractTableModel>
#include <QDialog>
#include <QPointer>

#include <gis/core.h>
#include <win32/com_ptr.h>

#include "arcobjects/arcobjects.h"

class QTableView;

namespace host {

class MapCanvas;

class AttributeModel : public QAbstractTableModel {
 public:
  static constexpr int kChunk = 256;  // rows read at a time

  // The fields of the feature class but its shape; rows read as they are asked for.
  explicit AttributeModel(IFeatureClass* feature_class, QObject* parent = nullptr);
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;
  // Reads every row, then orders them by the column: as numbers when both values are
  // numbers, else as text; empty values first.
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
  // The object id of a row's feature.
  LONG object_id(int row) const { return rows_.at(static_cast<size_t>(row)).id; }
  // Rows read so far, and whether the class has more.
  int rows_read() const { return static_cast<int>(rows_.size()); }

 private:
  struct Row {
    LONG id = 0;
    std::vector<std::string> values;
  };
  win32::ComPtr<IFeatureClass> class_;
  win32::ComPtr<IFeatureCursor> cursor_;  // null once every row is read
  std::vector<LONG> fields_;              // the class's fields shown, by index
  std::vector<QString> names_;
  std::vector<Row> rows_;
};

class AttributeTable : public QDialog {
 public:
  // A table of the layer's features; the selection is shown on canvas, whose map is in
  // `system` (null: the data's own).
  AttributeTable(ILayer* layer, ISpatialReference* system, MapCanvas* canvas, QWidget* parent = nullptr);
  ~AttributeTable() override;
  QTableView* view() const { return view_; }
  AttributeModel* model() const { return model_; }
  // The selected features' shapes in the map's system.
  const std::vector<gis::ShapeParts>& selected_shapes() const { return selected_; }
  // Shows the selected features whole on the canvas; false when none is selected.
  bool zoom_to_selection();

 private:
  void selection_changed();
  win32::ComPtr<IFeatureClass> class_;
  win32::ComPtr<ISpatialReference> system_;
  QPointer<MapCanvas> canvas_;  // the window's, which may go first
  QTableView* view_ = nullptr;
  AttributeModel* model_ = nullptr;
  std::vector<gis::ShapeParts> selected_;
};

}  // namespace host
