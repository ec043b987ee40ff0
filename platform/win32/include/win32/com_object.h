// ComObject<Derived, Interfaces...>: the one COM object skeleton of the stand-ins.
// Atomic reference count starting at 1 for the creator, QueryInterface over the listed
// interfaces and their base interfaces (an interface names its base with
// `using base_interface = ...;`), identity through the first listed interface. Objects are
// created only through make() and destroyed by their last Release.
#pragma once

#include <atomic>
#include <type_traits>

#include "../unknwn.h"
#include "com_ptr.h"

namespace win32 {

// Number of stand-in COM objects alive in the process; tests use it to prove that every
// reference was released.
long ComObjectsAlive();
// Whether the live COM objects and strings (SysStringsOutstanding) are counted: yes unless
// turned off before the first object or string is made and any other thread started. A
// program that never asks spares its threads the shared counters: a cut makes and destroys
// millions of objects, on the thread reading features and on the one cutting them.
void CountLiveObjects(bool on);
void ComObjectCreated();
void ComObjectDestroyed();

namespace detail {
template <class I, class = void>
struct has_base : std::false_type {};
template <class I>
struct has_base<I, std::void_t<typename I::base_interface>> : std::true_type {};

template <class I>
void* find_in_chain(I* p, REFIID riid) {
  if (riid == __uuidof(I)) return p;
  if constexpr (has_base<I>::value) {
    using B = typename I::base_interface;
    return find_in_chain<B>(static_cast<B*>(p), riid);
  } else {
    return nullptr;
  }
}
}  // namespace detail

template <class Derived, class First, class... Rest>
class ComObject : public First, public Rest... {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    void* found = nullptr;
    if (riid == IID_IUnknown) {
      found = static_cast<IUnknown*>(static_cast<First*>(this));
    } else {
      found = find<First, Rest...>(riid);
      if (!found) found = static_cast<Derived*>(this)->query_extra(riid);
    }
    if (!found) return E_NOINTERFACE;
    AddRef();
    *ppv = found;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG n = --refs_;
    if (n == 0) delete static_cast<Derived*>(this);
    return n;
  }

  template <class... Args>
  static ComPtr<Derived> make(Args&&... args) {
    return ComPtr<Derived>::adopt(new Derived(std::forward<Args>(args)...));
  }
  // Creates an object and hands out the requested interface, as a class factory does.
  template <class... Args>
  static HRESULT create_instance(REFIID riid, void** ppv, Args&&... args) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    ComPtr<Derived> obj = make(std::forward<Args>(args)...);
    return obj->QueryInterface(riid, ppv);
  }

  ULONG ref_count() const { return refs_.load(); }
  // Adds a reference unless the last one is already gone (the object is being destroyed):
  // for registries that note objects without holding them.
  bool add_ref_unless_released() {
    ULONG n = refs_.load();
    while (n != 0 && !refs_.compare_exchange_weak(n, n + 1)) {
    }
    return n != 0;
  }

 protected:
  ComObject() { ComObjectCreated(); }
  virtual ~ComObject() { ComObjectDestroyed(); }
  // Interfaces answered beyond the listed ones (for example by a contained object).
  void* query_extra(REFIID) { return nullptr; }

 private:
  template <class I, class... More>
  void* find(REFIID riid) {
    if (void* p = detail::find_in_chain<I>(static_cast<I*>(this), riid)) return p;
    if constexpr (sizeof...(More) > 0) return find<More...>(riid);
    return nullptr;
  }

  std::atomic<ULONG> refs_{1};
};

}  // namespace win32
