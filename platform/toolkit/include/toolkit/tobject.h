// TObject: the root of the toolkit's class tree; event senders and owners are TObject*.
#pragma once

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};
