// ComPtr<T>: the stand-ins' owning interface pointer. One reference per non-empty ComPtr;
// copying adds one, destruction and reset release one. A raw pointer never owns.
#pragma once

#include <utility>

#include "../unknwn.h"

namespace win32 {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a new reference to p.
  explicit ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  ComPtr(const ComPtr<U>& o) : ComPtr(static_cast<T*>(o.get())) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  ComPtr(ComPtr<U>&& o) noexcept : p_(o.detach()) {}
  ~ComPtr() { reset(); }

  ComPtr& operator=(ComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }

  // Adopts a reference the caller already owns.
  static ComPtr adopt(T* p) {
    ComPtr r;
    r.p_ = p;
    return r;
  }

  void reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // Releases what is held and returns the slot for an out-parameter.
  T** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  T* detach() { return std::exchange(p_, nullptr); }
  // A new reference for an out-parameter; null stays null.
  T* copy() const {
    if (p_) p_->AddRef();
    return p_;
  }

  template <class U>
  ComPtr<U> as() const {
    ComPtr<U> r;
    if (p_) p_->QueryInterface(__uuidof(U), r.put_void());
    return r;
  }

  friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.p_ == b.p_; }

 private:
  T* p_ = nullptr;
};

// QueryInterface on any interface pointer, as a ComPtr (empty when unsupported).
template <class U, class T>
ComPtr<U> query(T* p) {
  ComPtr<U> r;
  if (p) p->QueryInterface(__uuidof(U), r.put_void());
  return r;
}

}  // namespace win32
