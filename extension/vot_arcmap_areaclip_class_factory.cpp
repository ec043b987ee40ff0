#include "extension/vot_arcmap_areaclip_class_factory.h"

#include <new>

#include "extension/vot_arcmap_areaclip_module.h"
#include "extension/vot_arcmap_areaclip_object_root.h"

namespace {

class Tvo_class_factory final : public Tvo_single_interface_object<Tvo_class_factory, IClassFactory> {
 public:
  explicit Tvo_class_factory(Tvo_instance_creator creator) : m_creator(creator) {}
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    return m_creator(outer, riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) vot_module_lock();
    else vot_module_unlock();
    return S_OK;
  }

 private:
  Tvo_instance_creator m_creator;
};

}  // namespace

HRESULT vot_create_class_factory(Tvo_instance_creator creator, IUnknown** factory) {
  if (!factory) return E_POINTER;
  *factory = nullptr;
  Tvo_class_factory* f = new (std::nothrow) Tvo_class_factory(creator);
  if (!f) return E_OUTOFMEMORY;
  *factory = static_cast<IClassFactory*>(f);
  return S_OK;
}
