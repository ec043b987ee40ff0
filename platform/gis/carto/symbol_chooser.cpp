#include "symbol_chooser.h"

#include <cstdlib>

#include <win32/text.h>

#include "renderers.h"
#include "svg_style.h"

namespace gis::carto {

LONG find_field(IFeatureClass* fc, const std::string& name) {
  LONG index = -1;
  win32::Bstr b = win32::Bstr::from_utf8(name);
  if (!fc || FAILED(fc->FindField(b.get(), &index))) index = -1;
  return index;
}

SymbolChooser::SymbolChooser(IFeatureRenderer* renderer, IFeatureClass* fc) {
  if (auto* unique = dynamic_cast<UniqueValueRenderer*>(renderer)) {
    kind_ = kUnique;
    delimiter_ = unique->delimiter;
    key_ = "unique " + delimiter_ + "\n";
    for (const std::string& f : unique->fields) {
      fields_.push_back(find_field(fc, f));
      key_ += f + "\n";
    }
    for (const auto& v : unique->values)
      if (unique_.emplace(v.value, looks_of(v.symbol.get())).second) {  // the first entry of a value counts
        key_ += v.value + "\n";
        add_keys(unique_.at(v.value));
      }
    has_default_ = static_cast<bool>(unique->default_symbol);
    if (has_default_) default_ = looks_of(unique->default_symbol.get());
    key_ += has_default_ ? "default " : "no default ";
    add_keys(default_);
  } else if (auto* breaks = dynamic_cast<ClassBreaksRenderer*>(renderer)) {
    kind_ = kBreaks;
    fields_.push_back(find_field(fc, breaks->field));
    key_ = "breaks " + breaks->field + "\n";
    for (const auto& b : breaks->breaks) {
      breaks_.emplace_back(b.max, looks_of(b.symbol.get()));
      add_keys(breaks_.back().second);
      key_ += svg_number(b.max) + "\n";
    }
  } else {
    auto* simple = dynamic_cast<SimpleRenderer*>(renderer);
    simple_ = looks_of(simple ? simple->symbol.get() : nullptr);
    key_ = "simple ";
    add_keys(simple_);
  }
}

const Look* SymbolChooser::choose(const std::vector<std::string>& values, int d) const {
  if (kind_ == kUnique) {
    std::string key;
    for (size_t i = 0; i < values.size(); ++i) key += (i ? delimiter_ : "") + values[i];
    if (auto it = unique_.find(key); it != unique_.end()) return &it->second.look[d];
    return has_default_ ? &default_.look[d] : nullptr;
  }
  if (kind_ == kBreaks) {
    const std::string& text = values[0];
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (!end || end == text.c_str()) return nullptr;
    for (const auto& [max, looks] : breaks_)
      if (v <= max) return &looks.look[d];
    return nullptr;
  }
  return &simple_.look[d];
}

SymbolChooser::Looks SymbolChooser::looks_of(ISymbol* symbol) {
  const DrawnSymbol settings = describe_symbol(symbol);
  return {{look_of(settings, 0), look_of(settings, 1), look_of(settings, 2)}};
}

void SymbolChooser::add_keys(const Looks& looks) {
  for (const Look& l : looks.look) add_key(key_, l);
  key_ += "\n";
}

}  // namespace gis::carto
