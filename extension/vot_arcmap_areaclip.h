// The in-process COM server vot_arcmap_areaclip: module state (instance handle, lock count,
// critical sections, COM initialisation), the class table with its cached class factories,
// the registration entry points (the keys themselves: vot_arcmap_areaclip_reg), the
// enumerators, and the COM object skeleton shared by the toolbar and the command: a plain
// reference count with aggregation, one connection point for the object's events
// dispinterface, and the error guard that turns an escaping exception into error info and
// DISP_E_EXCEPTION.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <ocidl.h>

#include <exception>
#include <string>
#include <utility>

#include <toolkit/exception.h>

// The module's own instance (recorded at process attach).
HINSTANCE vot_module_instance();
// The lock count: objects, enumerators and LockServer hold the module loaded.
LONG vot_module_lock();
LONG vot_module_unlock();
LONG vot_module_lock_count();

// Runs body (returning HRESULT); an exception that leaves it becomes an error object with
// the GUID iid, the ProgID of clsid as source and the exception's message as description,
// installed with SetErrorInfo; the result is then DISP_E_EXCEPTION.
void vot_set_error_info(REFIID iid, REFCLSID clsid, const std::string& message);
template <class Body>
HRESULT vot_error_guard(REFIID iid, REFCLSID clsid, Body&& body) {
  try {
    return body();
  } catch (const Exception& e) {
    vot_set_error_info(iid, clsid, e.Message);
  } catch (const std::exception& e) {
    vot_set_error_info(iid, clsid, e.what());
  } catch (...) {
    vot_set_error_info(iid, clsid, std::string());
  }
  return DISP_E_EXCEPTION;
}

// The COM object root. Derived lists its interfaces in query_interface_map(riid) (IUnknown
// is answered here) and forwards its IUnknown members with VOT_COM_UNKNOWN. The object is
// either plain (its own count) or a part aggregated into outer, whose IUnknown then answers
// for it; the outer object holds the part through inner_unknown(). The count is a plain
// counter: the objects are apartment-threaded.
template <class Derived>
class Tvo_com_object_root {
 public:
  Tvo_com_object_root(const Tvo_com_object_root&) = delete;
  Tvo_com_object_root& operator=(const Tvo_com_object_root&) = delete;

  // Creates a Derived (aggregated when outer is given) and answers riid; a failed query
  // destroys the new object at once.
  static HRESULT create_instance(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    Derived* object = nullptr;
    try {
      object = new Derived();
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_UNEXPECTED;
    }
    object->m_outer = outer;
    IUnknown* inner = object->inner_unknown();
    inner->AddRef();
    HRESULT hr = inner->QueryInterface(riid, ppv);
    inner->Release();  // destroys the object when the query failed
    return hr;
  }

  IUnknown* inner_unknown() { return &m_inner; }
  // The object's identity as others see it: the outer object's when aggregated.
  IUnknown* controlling_unknown() { return m_outer ? m_outer : &m_inner; }

 protected:
  Tvo_com_object_root() : m_inner(this) {}
  virtual ~Tvo_com_object_root() = default;

  HRESULT outer_query_interface(REFIID riid, void** ppv) {
    if (m_outer) return m_outer->QueryInterface(riid, ppv);
    return m_inner.QueryInterface(riid, ppv);
  }
  ULONG outer_add_ref() { return m_outer ? m_outer->AddRef() : m_inner.AddRef(); }
  ULONG outer_release() { return m_outer ? m_outer->Release() : m_inner.Release(); }

 private:
  // The non-delegating IUnknown: the object's own count and interface map.
  class Tinner : public IUnknown {
   public:
    // Holds the root, not the Derived object: this runs while Derived is not built yet.
    explicit Tinner(Tvo_com_object_root* root) : m_root(root) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
      if (!ppv) return E_POINTER;
      *ppv = nullptr;
      void* found = riid == IID_IUnknown ? static_cast<IUnknown*>(this)
                                         : static_cast<Derived*>(m_root)->query_interface_map(riid);
      if (!found) return E_NOINTERFACE;
      // Through the interface handed out: an aggregated part's references are its outer's.
      static_cast<IUnknown*>(found)->AddRef();
      *ppv = found;
      return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override {
      ULONG n = --m_refs;
      if (n == 0) delete m_root;
      return n;
    }

   private:
    Tvo_com_object_root* m_root;
    ULONG m_refs = 0;
  };

  IUnknown* m_outer = nullptr;
  Tinner m_inner;
};

#define VOT_COM_UNKNOWN()                                                          \
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {     \
    return outer_query_interface(riid, ppv);                                        \
  }                                                                                 \
  ULONG STDMETHODCALLTYPE AddRef() override { return outer_add_ref(); }             \
  ULONG STDMETHODCALLTYPE Release() override { return outer_release(); }

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

// The class factory of one class: creates instances through creator. Its reference count
// is atomic and does not count in the module's lock count.
using Tvo_instance_creator = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);
HRESULT vot_create_class_factory(Tvo_instance_creator creator, IUnknown** factory);

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv);
STDAPI DllCanUnloadNow();
STDAPI DllRegisterServer();
STDAPI DllUnregisterServer();
