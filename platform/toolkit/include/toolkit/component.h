// TComponent: a named object with an owner. An owner destroys every component it owns, in
// reverse order of insertion; a component destroyed earlier removes itself from its owner,
// so each component is destroyed exactly once. The owner relation is the toolkit's only
// owning raw pointer (besides the parent relation of controls, see TWinControl).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "toolkit/tobject.h"
#include "toolkit/types.h"

class TComponent : public TObject {
 public:
  // AOwner may be null: the creator then destroys the component.
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(static_cast<size_t>(index)); }
  // The owned component of this name (direct children of the ownership only), or null.
  TComponent* FindComponent(const std::string& name) const;

  // Moves a component into (or out of) this component's ownership.
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  // `component` is told (Notification with opRemove) when this component is destroyed.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  // True from the start of destruction on.
  bool Destroying() const { return destroying_; }
  // A handle that expires when the component is destroyed (for code that must notice that
  // an event handler destroyed the object it runs for).
  std::weak_ptr<void> Liveness() const { return life_; }

  std::string Name;
  intptr_t Tag = 0;

 protected:
  virtual void Notification(TComponent* AComponent, TOperation Operation);
  // Called first in the destructor of the most derived toolkit class that needs it.
  void BeginDestroy();

 private:
  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> notified_;
  bool destroying_ = false;
  std::shared_ptr<int> life_ = std::make_shared<int>(0);
};
