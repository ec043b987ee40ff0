#include "attribute_table.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>

#include <win32/text.h>

#include "identify.h"
#include "map_canvas.h"

namespace host {

namespace {

// The value as a number, when the whole text is one.
bool as_number(const std::string& text, double* number) {
  if (text.empty()) return false;
  char* end = nullptr;
  *number = std::strtod(text.c_str(), &end);
  return end && *end == '\0';
}

}  // namespace

AttributeModel::AttributeModel(IFeatureClass* feature_class, QObject* parent)
    : QAbstractTableModel(parent), class_(feature_class) {
  for (const auto& [index, name] : AttributeFields(class_.get())) {
    fields_.push_back(index);
    names_.push_back(QString::fromStdString(name));
  }
  if (class_) class_->Search(nullptr, VARIANT_FALSE, cursor_.put());
}

int AttributeModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_read(); }

int AttributeModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(names_.size());
}

QVariant AttributeModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows_read()) return {};
  const Row& row = rows_[static_cast<size_t>(index.row())];
  const size_t column = static_cast<size_t>(index.column());
  return column < row.values.size() ? QString::fromStdString(row.values[column]) : QString();
}

QVariant AttributeModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) return section < static_cast<int>(names_.size()) ? names_[static_cast<size_t>(section)] : QVariant();
  return section + 1;
}

bool AttributeModel::canFetchMore(const QModelIndex& parent) const { return !parent.isValid() && cursor_; }

void AttributeModel::fetchMore(const QModelIndex& parent) {
  if (parent.isValid() || !cursor_) return;
  std::vector<Row> read;
  for (int n = 0; n < kChunk; ++n) {
    win32::ComPtr<IFeature> feature;
    if (cursor_->NextFeature(feature.put()) != S_OK || !feature) {
      cursor_.reset();  // the end, or a source that cannot be read further
      break;
    }
    Row row;
    feature->get_OID(&row.id);
    for (LONG f : fields_) {
      VARIANT value;
      VariantInit(&value);
      feature->get_Value(f, &value);
      row.values.push_back(gis::ValueText(value));
      VariantClear(&value);
    }
    read.push_back(std::move(row));
  }
  if (read.empty()) return;
  beginInsertRows({}, rows_read(), rows_read() + static_cast<int>(read.size()) - 1);
  std::move(read.begin(), read.end(), std::back_inserter(rows_));
  endInsertRows();
}

void AttributeModel::sort(int column, Qt::SortOrder order) {
  if (column < 0 || column >= columnCount()) return;
  while (cursor_) fetchMore({});
  const size_t c = static_cast<size_t>(column);
  auto less = [c](const Row& a, const Row& b) {
    const std::string& x = a.values[c];
    const std::string& y = b.values[c];
    double nx = 0, ny = 0;
    if (as_number(x, &nx) && as_number(y, &ny)) return nx < ny;
    if (x.empty() != y.empty()) return x.empty();
    return QString::fromStdString(x).localeAwareCompare(QString::fromStdString(y)) < 0;
  };
  emit layoutAboutToBeChanged();
  if (order == Qt::AscendingOrder)
    std::stable_sort(rows_.begin(), rows_.end(), less);
  else
    std::stable_sort(rows_.begin(), rows_.end(), [&](const Row& a, const Row& b) { return less(b, a); });
  emit layoutChanged();
}

AttributeTable::AttributeTable(ILayer* layer, ISpatialReference* system, MapCanvas* canvas, QWidget* parent)
    : QDialog(parent), system_(system), canvas_(canvas) {
  setObjectName("attribute_table");
  win32::Bstr name;
  layer->get_Name(name.put());
  setWindowTitle(QString("Attributes of %1").arg(QString::fromStdString(name.utf8())));
  if (auto feature_layer = win32::query<IFeatureLayer>(layer)) feature_layer->get_FeatureClass(class_.put());
  model_ = new AttributeModel(class_.get(), this);
  view_ = new QTableView(this);
  view_->setModel(model_);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  // The source's order until a header is clicked (sorting reads every row).
  view_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  view_->setSortingEnabled(true);
  connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { selection_changed(); });
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  QPushButton* zoom = buttons->addButton("&Zoom to selection", QDialogButtonBox::ActionRole);
  zoom->setObjectName("zoom_to_selection");
  connect(zoom, &QPushButton::clicked, this, [this] { zoom_to_selection(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(view_);
  layout->addWidget(buttons);
  resize(720, 420);
  setAttribute(Qt::WA_DeleteOnClose);
}

AttributeTable::~AttributeTable() {
  if (canvas_) canvas_->set_selection({});
}

void AttributeTable::selection_changed() {
  selected_.clear();
  for (const QModelIndex& row : view_->selectionModel()->selectedRows()) {
    win32::ComPtr<IFeature> feature;
    win32::ComPtr<IGeometry> shape;
    if (!class_ || FAILED(class_->GetFeature(model_->object_id(row.row()), feature.put())) || !feature ||
        FAILED(feature->get_ShapeCopy(shape.put())) || !shape)
      continue;
    if (system_ && FAILED(shape->Project(system_.get()))) continue;
    for (gis::ShapeParts& parts : gis::GeometryShapes(shape.get())) selected_.push_back(std::move(parts));
  }
  if (canvas_) canvas_->set_selection(selected_);
}

bool AttributeTable::zoom_to_selection() {
  gis::MapView bounds;
  if (!canvas_ || !MapCanvas::bounds_of(selected_, &bounds)) return false;
  canvas_->show_bounds(bounds);
  return true;
}

}  // namespace host
