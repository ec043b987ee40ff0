// The connection point of the module's classes for their events dispinterface.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <ocidl.h>

// One connection point for the events dispinterface diid, part of its container: its
// references are the container's. Up to 5 sinks; the cookie of a sink is its slot + 1.
// Sinks still held are released when the point is destroyed with its container.
class Tvo_connection_point : public IConnectionPoint {
 public:
  static constexpr int max_sinks = 5;

  Tvo_connection_point(const IID& diid, IConnectionPointContainer* container) : m_diid(diid), m_container(container) {}
  ~Tvo_connection_point();
  Tvo_connection_point(const Tvo_connection_point&) = delete;
  Tvo_connection_point& operator=(const Tvo_connection_point&) = delete;

  const IID& diid() const { return m_diid; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return m_container->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return m_container->Release(); }
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* pIID) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** ppEnum) override;

  // FindConnectionPoint and EnumConnectionPoints of a container holding this one point.
  HRESULT find(REFIID riid, IConnectionPoint** ppCP);
  HRESULT enumerate(IEnumConnectionPoints** ppEnum);

 private:
  IID m_diid;
  IConnectionPointContainer* m_container;
  IUnknown* m_sinks[max_sinks] = {};
};
