// TObject: the root of the toolkit's class tree; event senders and owners are TObject*.
#pragma once

#include <string>

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  // The most derived class's name as written in the source ("TPanel", "Tvo_vcl_panel").
  std::string ClassName() const;
};
