// TStrings: an ordered list of ANSI texts (a combo box's Items). Every change calls
// OnChange, which the owning control uses to keep its selection valid.
#pragma once

#include <functional>
#include <string>
#include <vector>

class TStrings {
 public:
  TStrings() = default;
  TStrings(const TStrings&) = delete;
  TStrings& operator=(const TStrings&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  const std::string& Strings(int index) const { return items_.at(static_cast<size_t>(index)); }
  const std::string& operator[](int index) const { return Strings(index); }
  // The index of the first entry equal to `s`, or -1.
  int IndexOf(const std::string& s) const;
  const std::vector<std::string>& List() const { return items_; }

  int Add(std::string s);
  void Insert(int index, std::string s);
  void Delete(int index);
  void Clear();
  // Replaces every entry.
  void Assign(std::vector<std::string> items);

  std::function<void()> OnChange;

 private:
  void changed() {
    if (OnChange) OnChange();
  }
  std::vector<std::string> items_;
};
