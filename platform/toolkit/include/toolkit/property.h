// Properties in the toolkit's manner: `panel->Align = alTop;` calls the owner's setter and
// `int w = panel->Width;` its getter, so that changing a property re-lays out what it
// affects. A property lives inside its owner and refers back to it; it is never copied on
// its own (assigning one property to another copies the value).
#pragma once

#include <ostream>
#include <type_traits>
#include <utility>

namespace toolkit {

template <class C, class T>
class Property {
 public:
  using Getter = T (C::*)() const;
  using Setter = void (C::*)(T);

  Property(C* self, Getter get, Setter set) : self_(self), get_(get), set_(set) {}
  Property(const Property&) = delete;
  Property& operator=(const Property& other) {
    (self_->*set_)(other());
    return *this;
  }
  Property& operator=(T value) {
    (self_->*set_)(std::move(value));
    return *this;
  }

  T operator()() const { return (self_->*get_)(); }
  operator T() const { return (self_->*get_)(); }
  template <class U = T>
    requires std::is_pointer_v<U>
  U operator->() const {
    return (self_->*get_)();
  }

  friend bool operator==(const Property& a, const T& b) { return a() == b; }
  friend std::ostream& operator<<(std::ostream& os, const Property& p) { return os << p(); }

 private:
  C* self_;
  Getter get_;
  Setter set_;
};

// A property that can only be read.
template <class C, class T>
class ReadOnlyProperty {
 public:
  using Getter = T (C::*)() const;

  ReadOnlyProperty(const C* self, Getter get) : self_(self), get_(get) {}
  ReadOnlyProperty(const ReadOnlyProperty&) = delete;
  ReadOnlyProperty& operator=(const ReadOnlyProperty&) = delete;

  T operator()() const { return (self_->*get_)(); }
  operator T() const { return (self_->*get_)(); }

  friend bool operator==(const ReadOnlyProperty& a, const T& b) { return a() == b; }
  friend std::ostream& operator<<(std::ostream& os, const ReadOnlyProperty& p) { return os << p(); }

 private:
  const C* self_;
  Getter get_;
};

}  // namespace toolkit
