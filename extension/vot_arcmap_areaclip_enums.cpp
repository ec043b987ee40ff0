#include "extension/vot_arcmap_areaclip_enums.h"

#include <new>
#include <utility>

#include "extension/vot_arcmap_areaclip_module.h"
#include "extension/vot_arcmap_areaclip_object_root.h"

namespace {

class Tvo_enum_connections final : public Tvo_single_interface_object<Tvo_enum_connections, IEnumConnections> {
 public:
  explicit Tvo_enum_connections(std::vector<CONNECTDATA> items, size_t position = 0)
      : m_items(std::move(items)), m_position(position) {
    for (CONNECTDATA& d : m_items) d.pUnk->AddRef();
    vot_module_lock();
  }
  ~Tvo_enum_connections() {
    for (CONNECTDATA& d : m_items) d.pUnk->Release();
    vot_module_unlock();
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, CONNECTDATA* out, ULONG* fetched) override {
    if (!out || (count > 1 && !fetched)) return E_POINTER;
    ULONG n = 0;
    while (n < count && m_position < m_items.size()) {
      out[n] = m_items[m_position++];
      out[n].pUnk->AddRef();
      ++n;
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    size_t left = m_items.size() - m_position;
    m_position += count < left ? count : left;
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    m_position = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumConnections** ppEnum) override {
    if (!ppEnum) return E_POINTER;
    *ppEnum = new (std::nothrow) Tvo_enum_connections(m_items, m_position);
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
  }

 private:
  std::vector<CONNECTDATA> m_items;
  size_t m_position;
};

class Tvo_enum_connection_points final
    : public Tvo_single_interface_object<Tvo_enum_connection_points, IEnumConnectionPoints> {
 public:
  explicit Tvo_enum_connection_points(IConnectionPoint* point, size_t position = 0)
      : m_point(point), m_position(position) {
    m_point->AddRef();
    vot_module_lock();
  }
  ~Tvo_enum_connection_points() {
    m_point->Release();
    vot_module_unlock();
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** out, ULONG* fetched) override {
    if (!out || (count > 1 && !fetched)) return E_POINTER;
    ULONG n = 0;
    if (count > 0 && m_position == 0) {
      out[n++] = m_point;
      m_point->AddRef();
      m_position = 1;
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    if (count == 0) return S_OK;
    bool had = m_position == 0;
    m_position = 1;
    return had && count == 1 ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    m_position = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** ppEnum) override {
    if (!ppEnum) return E_POINTER;
    *ppEnum = new (std::nothrow) Tvo_enum_connection_points(m_point, m_position);
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
  }

 private:
  IConnectionPoint* m_point;
  size_t m_position;
};

}  // namespace

HRESULT vot_create_enum_connections(std::vector<CONNECTDATA> items, IEnumConnections** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = new (std::nothrow) Tvo_enum_connections(std::move(items));
  return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

HRESULT vot_create_enum_connection_points(IConnectionPoint* point, IEnumConnectionPoints** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = new (std::nothrow) Tvo_enum_connection_points(point);
  return *ppEnum ? S_OK : E_OUTOFMEMORY;
}
