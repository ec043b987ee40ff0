// The module's two COM object skeletons. Tvo_com_object_root is the root of the module's
// classes (the toolbar and the command): a plain reference count with aggregation.
// Tvo_single_interface_object is the IUnknown of its helper objects (enumerators, class
// factories).
#pragma once

#include <windows.h>
#include <objbase.h>

#include <new>

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

// IUnknown of the module's helper objects (enumerators, class factories): one interface
// besides IUnknown, an atomic reference count starting at 1 (the creator's reference),
// deletion by the last Release.
template <class Derived, class I>
class Tvo_single_interface_object : public I {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != __uuidof(I)) return E_NOINTERFACE;
    *ppv = static_cast<I*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG n = InterlockedDecrement(&m_refs);
    if (n == 0) delete static_cast<Derived*>(this);
    return static_cast<ULONG>(n);
  }

 protected:
  ~Tvo_single_interface_object() = default;

 private:
  LONG volatile m_refs = 1;
};
