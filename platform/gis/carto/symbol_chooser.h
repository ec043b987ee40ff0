// SymbolChooser: the looks a layer's renderer gives its features (one symbol, unique values,
// class breaks), copied from the renderer and its symbols when it is made. Choosing reads
// neither, so it may run on any thread while the document changes.
#pragma once

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "arcobjects/arcobjects.h"
#include "symbol_look.h"

namespace gis::carto {

class SymbolChooser {
 public:
  SymbolChooser(IFeatureRenderer* renderer, IFeatureClass* fc);
  // The fields whose values choose the symbol (-1 for a field the class does not have).
  const std::vector<LONG>& fields() const { return fields_; }
  // The look of a shape of dimension d (0 to 2) of a feature with these field texts (in the
  // order of fields()); null when the renderer leaves the feature out.
  const Look* choose(const std::vector<std::string>& values, int d) const;
  // The renderer's rules and looks as text: choosers of equal keys choose alike.
  const std::string& key() const { return key_; }

 private:
  struct Looks {
    Look look[3];  // for points, lines and areas
  };
  static Looks looks_of(ISymbol* symbol);
  void add_keys(const Looks& looks);

  enum { kSimple, kUnique, kBreaks } kind_ = kSimple;
  Looks simple_;
  std::unordered_map<std::string, Looks> unique_;
  std::string delimiter_;
  bool has_default_ = false;
  Looks default_;
  std::vector<std::pair<double, Looks>> breaks_;
  std::vector<LONG> fields_;
  std::string key_;
};

// The index of a class's field; -1 when there is no such field, or no class (a layer whose
// source could not be opened).
LONG find_field(IFeatureClass* fc, const std::string& name);

}  // namespace gis::carto
