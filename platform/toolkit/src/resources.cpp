#include "toolkit/resources.h"

#include <mutex>

#include "toolkit/exception.h"

namespace toolkit {

namespace {
std::mutex g_lock;
ResourceLookup g_lookup;
}  // namespace

ResourceLookup SetResourceLookup(ResourceLookup lookup) {
  std::lock_guard<std::mutex> g(g_lock);
  std::swap(g_lookup, lookup);
  return lookup;
}

std::string LoadResourceData(HINSTANCE module, const std::string& type, const std::string& name) {
  ResourceLookup lookup;
  {
    std::lock_guard<std::mutex> g(g_lock);
    lookup = g_lookup;
  }
  if (!lookup)
    throw Exception("Resource " + name + " of type " + type +
                    " cannot be loaded: no resource lookup is installed (toolkit::SetResourceLookup)");
  std::optional<std::string> data = lookup(module, type, name);
  if (!data) throw Exception("Resource " + name + " of type " + type + " not found");
  return *data;
}

}  // namespace toolkit
