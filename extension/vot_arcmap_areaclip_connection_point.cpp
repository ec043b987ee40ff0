#include "extension/vot_arcmap_areaclip_connection_point.h"

#include <utility>
#include <vector>

#include <olectl.h>

#include "extension/vot_arcmap_areaclip_enums.h"

Tvo_connection_point::~Tvo_connection_point() {
  for (IUnknown*& sink : m_sinks)
    if (IUnknown* s = std::exchange(sink, nullptr)) s->Release();
}

HRESULT Tvo_connection_point::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid != IID_IUnknown && riid != IID_IConnectionPoint) return E_NOINTERFACE;
  *ppv = static_cast<IConnectionPoint*>(this);
  AddRef();
  return S_OK;
}

HRESULT Tvo_connection_point::GetConnectionInterface(IID* pIID) {
  if (!pIID) return E_POINTER;
  *pIID = m_diid;
  return S_OK;
}

HRESULT Tvo_connection_point::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
  if (!ppCPC) return E_POINTER;
  m_container->AddRef();
  *ppCPC = m_container;
  return S_OK;
}

HRESULT Tvo_connection_point::Advise(IUnknown* pUnkSink, DWORD* pdwCookie) {
  if (!pdwCookie) return E_POINTER;
  *pdwCookie = 0;
  if (!pUnkSink) return E_POINTER;
  IUnknown* sink = nullptr;
  HRESULT hr = pUnkSink->QueryInterface(m_diid, reinterpret_cast<void**>(&sink));
  if (hr == E_NOINTERFACE) return CONNECT_E_CANNOTCONNECT;
  if (FAILED(hr)) return hr;
  for (int i = 0; i < max_sinks; ++i) {
    if (!m_sinks[i]) {
      m_sinks[i] = sink;
      *pdwCookie = static_cast<DWORD>(i + 1);
      return S_OK;
    }
  }
  sink->Release();
  return CONNECT_E_ADVISELIMIT;
}

HRESULT Tvo_connection_point::Unadvise(DWORD dwCookie) {
  if (dwCookie < 1 || dwCookie > static_cast<DWORD>(max_sinks) || !m_sinks[dwCookie - 1])
    return CONNECT_E_NOCONNECTION;
  std::exchange(m_sinks[dwCookie - 1], nullptr)->Release();
  return S_OK;
}

HRESULT Tvo_connection_point::EnumConnections(IEnumConnections** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = nullptr;
  std::vector<CONNECTDATA> items;
  for (int i = 0; i < max_sinks; ++i)
    if (m_sinks[i]) items.push_back(CONNECTDATA{m_sinks[i], static_cast<DWORD>(i + 1)});
  return vot_create_enum_connections(std::move(items), ppEnum);
}

HRESULT Tvo_connection_point::find(REFIID riid, IConnectionPoint** ppCP) {
  if (!ppCP) return E_POINTER;
  *ppCP = nullptr;
  if (riid != m_diid) return CONNECT_E_NOCONNECTION;
  AddRef();
  *ppCP = this;
  return S_OK;
}

HRESULT Tvo_connection_point::enumerate(IEnumConnectionPoints** ppEnum) {
  return vot_create_enum_connection_points(this, ppEnum);
}
