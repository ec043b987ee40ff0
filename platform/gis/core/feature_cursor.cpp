#include "feature_cursor.h"

#include <win32/com_error.h>

#include "gis/core.h"

namespace gis::core {

namespace {

// Features are fetched on demand; recycling is not used (every feature is a new object).
class FeatureCursor final : public win32::ComObject<FeatureCursor, IFeatureCursor> {
 public:
  // Reads `layer` of `dataset`, or the class's own layer when `dataset` is null.
  FeatureCursor(win32::ComPtr<FeatureClass> cls, DatasetPtr dataset, OGRLayer* layer)
      : class_(std::move(cls)), dataset_(std::move(dataset)), layer_(layer), lent_(!dataset_) {}
  ~FeatureCursor() override { finish(); }

  HRESULT STDMETHODCALLTYPE NextFeature(IFeature** feature) override {
    if (!feature) return E_POINTER;
    *feature = nullptr;
    return win32::com_guard([&] {
      if (!layer_) return S_FALSE;
      ThrowIfCancelled();
      GdalErrorScope errors;
      OGRFeatureUniquePtr f(layer_->GetNextFeature());
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
};

}  // namespace

win32::ComPtr<IFeatureCursor> open_cursor(win32::ComPtr<FeatureClass> cls, const std::string& where,
                                          const SearchBox* within) {
  if (cls->writable()) cls->flush();
  if (where.empty() && !within) {
    if (OGRLayer* layer = cls->lend_layer()) return FeatureCursor::make(std::move(cls), nullptr, layer);
  }
  DatasetPtr dataset = open_vector(cls->path(), false);
  GdalErrorScope errors;
  OGRLayer* layer = dataset->GetLayerByName(cls->layer_name().c_str());
  if (!layer) errors.fail(E_FAIL, "layer " + cls->layer_name() + " is missing from " + cls->path());
  if (!where.empty() && layer->SetAttributeFilter(where.c_str()) != OGRERR_NONE)
    errors.fail(E_INVALIDARG, "bad where clause \"" + where + "\"");
  if (within) layer->SetSpatialFilterRect(within->xmin, within->ymin, within->xmax, within->ymax);
  layer->ResetReading();
  return FeatureCursor::make(std::move(cls), std::move(dataset), layer);
}

}  // namespace gis::core
