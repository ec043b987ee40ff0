#include "feature_cursor.h"

#include <memory>
#include <vector>

#include <win32/com_error.h>

#include "gis/core.h"

namespace gis::core {

namespace {

// Features are fetched on demand; recycling is not used (every feature is a new object).
class FeatureCursor final : public win32::ComObject<FeatureCursor, IFeatureCursor> {
 public:
  // Reads `layer` of `dataset`, or the class's own layer when `dataset` is null: in turn,
  // or by id the features `ids` names (in its order).
  FeatureCursor(win32::ComPtr<FeatureClass> cls, DatasetPtr dataset, OGRLayer* layer,
                std::shared_ptr<const std::vector<LONG>> ids = nullptr)
      : class_(std::move(cls)), dataset_(std::move(dataset)), layer_(layer), lent_(!dataset_), ids_(std::move(ids)) {}
  ~FeatureCursor() override { finish(); }

  HRESULT STDMETHODCALLTYPE NextFeature(IFeature** feature) override {
    if (!feature) return E_POINTER;
    *feature = nullptr;
    return win32::com_guard([&] {
      if (!layer_) return S_FALSE;
      ThrowIfCancelled();
      GdalErrorScope errors;
      OGRFeatureUniquePtr f;
      if (ids_) {
        if (next_ < ids_->size()) {
          const LONG id = (*ids_)[next_++];
          f.reset(layer_->GetFeature(id));
          if (!f) errors.fail(E_FAIL, "cannot read feature " + std::to_string(id) + " of " + class_->path());
        }
      } else {
        // A restricted class's features that it does not serve are passed over.
        do f.reset(layer_->GetNextFeature());
        while (f && errors.failure().empty() && !class_->serves(f->GetFID()));
      }
      // A record the driver could read only in part (its shape or its values lost) fails
      // too: handing it out would lose what is missing unseen.
      if (!errors.failure().empty()) errors.fail(E_FAIL, "cannot read " + class_->path());
      if (!f) {
        finish();  // done: let go of the file early
        return S_FALSE;
      }
      *feature = class_->make_feature(*f).detach();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_Fields(IFields** fields) override { return class_->get_Fields(fields); }
  HRESULT STDMETHODCALLTYPE FindField(BSTR name, LONG* index) override { return class_->FindField(name, index); }
  HRESULT STDMETHODCALLTYPE Flush() override { return S_OK; }

 private:
  void finish() {
    if (lent_ && layer_) class_->return_layer();
    layer_ = nullptr;
    dataset_.reset();
  }

  win32::ComPtr<FeatureClass> class_;
  DatasetPtr dataset_;
  OGRLayer* layer_;  // owned by dataset_, or the class's when lent
  bool lent_;
  std::shared_ptr<const std::vector<LONG>> ids_;  // read by id when set
  size_t next_ = 0;
};

}  // namespace

win32::ComPtr<IFeatureCursor> open_cursor(win32::ComPtr<FeatureClass> cls, const std::string& where,
                                          const SearchBox* within) {
  if (cls->writable()) cls->flush();
  // A restricted class read whole fetches its features by id where the source can, so
  // that a few features of a large source cost a few reads.
  std::shared_ptr<const std::vector<LONG>> ids;
  if (cls->restriction() && where.empty() && !within) ids = cls->restriction();
  if (where.empty() && !within) {
    if (OGRLayer* layer = cls->lend_layer()) {
      if (ids && !layer->TestCapability(OLCRandomRead)) ids.reset();
      return FeatureCursor::make(std::move(cls), nullptr, layer, std::move(ids));
    }
  }
  DatasetPtr dataset = open_vector(cls->path(), false);
  GdalErrorScope errors;
  OGRLayer* layer = dataset->GetLayerByName(cls->layer_name().c_str());
  if (!layer) errors.fail(E_FAIL, "layer " + cls->layer_name() + " is missing from " + cls->path());
  if (const std::string all = cls->where_with(where); !all.empty() && layer->SetAttributeFilter(all.c_str()) != OGRERR_NONE)
    errors.fail(E_INVALIDARG, "bad where clause \"" + where + "\"");
  if (within) layer->SetSpatialFilterRect(within->xmin, within->ymin, within->xmax, within->ymax);
  layer->ResetReading();
  if (ids && !layer->TestCapability(OLCRandomRead)) ids.reset();
  return FeatureCursor::make(std::move(cls), std::move(dataset), layer, std::move(ids));
}

}  // namespace gis::core
