#include "toolkit/component.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <typeinfo>

#include "toolkit/application.h"

std::string TObject::ClassName() const {
  const char* mangled = typeid(*this).name();
  int status = 0;
  char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  std::string name = status == 0 && demangled ? demangled : mangled;
  std::free(demangled);
  return name;
}

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  BeginDestroy();
  while (!components_.empty()) {
    TComponent* last = components_.back();
    delete last;  // removes itself from components_
  }
  std::vector<TComponent*> notified;
  notified.swap(notified_);
  for (TComponent* c : notified) {
    c->RemoveFreeNotification(this);
    c->Notification(this, opRemove);
  }
  if (owner_) owner_->RemoveComponent(this);
  if (Application && Application != this) Application->RemoveMessagesFor(this);
}

void TComponent::BeginDestroy() {
  destroying_ = true;
  life_.reset();
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (c->Name == name) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  if (component->owner_) component->owner_->RemoveComponent(component);
  components_.push_back(component);
  component->owner_ = this;
}

void TComponent::RemoveComponent(TComponent* component) {
  auto it = std::find(components_.begin(), components_.end(), component);
  if (it == components_.end()) return;
  components_.erase(it);
  component->owner_ = nullptr;
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(notified_.begin(), notified_.end(), component) == notified_.end()) notified_.push_back(component);
  if (std::find(component->notified_.begin(), component->notified_.end(), this) == component->notified_.end())
    component->notified_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  std::erase(notified_, component);
}

void TComponent::Notification(TComponent*, TOperation) {}
