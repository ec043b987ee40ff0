#include "toolkit/strings.h"

#include <algorithm>
#include <stdexcept>

#include "toolkit/exception.h"

int TStrings::IndexOf(const std::string& s) const {
  auto it = std::find(items_.begin(), items_.end(), s);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

int TStrings::Add(std::string s) {
  items_.push_back(std::move(s));
  changed();
  return Count() - 1;
}

void TStrings::Insert(int index, std::string s) {
  if (index < 0 || index > Count()) throw Exception("List index out of bounds (" + std::to_string(index) + ")");
  items_.insert(items_.begin() + index, std::move(s));
  changed();
}

void TStrings::Delete(int index) {
  if (index < 0 || index >= Count()) throw Exception("List index out of bounds (" + std::to_string(index) + ")");
  items_.erase(items_.begin() + index);
  changed();
}

void TStrings::Clear() {
  if (items_.empty()) return;
  items_.clear();
  changed();
}

void TStrings::Assign(std::vector<std::string> items) {
  items_ = std::move(items);
  changed();
}
