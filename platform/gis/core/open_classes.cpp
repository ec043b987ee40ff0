#include "open_classes.h"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "feature_class.h"

namespace gis::core {

namespace {

struct Entry {
  FeatureClass* cls;
  SourceStamp stamp;
};

std::mutex g_mutex;
std::unordered_multimap<std::string, Entry>& registry() {
  static auto* classes = new std::unordered_multimap<std::string, Entry>;  // outlives every class
  return *classes;
}

}  // namespace

std::string OpenClasses::key(const std::string& path, const std::string& layer, const std::string& filter,
                             bool assigned) {
  if (assigned) return "";
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  if (ec) return "";
  std::string key = absolute.lexically_normal().string();
  for (const std::string* part : {&layer, &filter}) {
    key += '\n';
    key += *part;
  }
  return key;
}

win32::ComPtr<FeatureClass> OpenClasses::find(const std::string& key) {
  if (key.empty()) return {};
  std::vector<SourceStamp> stamps;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto [from, to] = registry().equal_range(key);
    for (auto it = from; it != to; ++it) stamps.push_back(it->second.stamp);
  }
  // The files are looked at outside the lock; a class is taken only if it is still noted
  // with them as they are now.
  std::vector<SourceStamp> unchanged;
  for (SourceStamp& stamp : stamps)
    if (SourceStamp::of(stamp.files()) == stamp) unchanged.push_back(std::move(stamp));
  if (unchanged.empty()) return {};
  std::vector<win32::ComPtr<FeatureClass>> held;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto [from, to] = registry().equal_range(key);
    for (auto it = from; it != to; ++it)
      // A class whose last reference is going (its destructor waits for this lock) is not
      // taken back.
      if (std::find(unchanged.begin(), unchanged.end(), it->second.stamp) != unchanged.end() &&
          it->second.cls->add_ref_unless_released())
        held.push_back(win32::ComPtr<FeatureClass>::adopt(it->second.cls));
  }
  // A class serving only some features for a while serves them to its holders alone. (The
  // others are let go outside the lock: one may be the last reference now.)
  for (win32::ComPtr<FeatureClass>& cls : held)
    if (!cls->restriction()) return std::move(cls);
  return {};
}

void OpenClasses::add(const std::string& key, FeatureClass* cls, SourceStamp stamp) {
  if (key.empty()) return;
  std::lock_guard<std::mutex> lock(g_mutex);
  registry().emplace(key, Entry{cls, std::move(stamp)});
}

void OpenClasses::remove(FeatureClass* cls) {
  std::lock_guard<std::mutex> lock(g_mutex);
  for (auto it = registry().begin(); it != registry().end();)
    it = it->second.cls == cls ? registry().erase(it) : std::next(it);
}

namespace {

struct Parked {
  std::string path;
  DatasetPtr dataset;
  SourceStamp stamp;
};

std::mutex g_parked_mutex;
// Newest last. Never destroyed: the datasets hold nothing unwritten, and GDAL may be gone by
// the time static objects are.
std::vector<Parked>& parked() {
  static auto* datasets = new std::vector<Parked>;
  return *datasets;
}

std::string parked_key(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.lexically_normal().string();
}

// Closing a kept dataset writes its headers once more (the driver rewrites them on close).
// Over files changed since they were kept, that would put the old headers back: such a
// dataset is never closed (its handles stay with the process), only one whose files are
// as they were left.
void let_go(std::vector<Parked> parked_datasets) {
  static std::mutex graveyard_mutex;
  static auto* graveyard = new std::vector<DatasetPtr>;
  for (Parked& p : parked_datasets) {
    if (SourceStamp::of(p.stamp.files()) == p.stamp) continue;  // closed with the list
    std::lock_guard<std::mutex> g(graveyard_mutex);
    graveyard->push_back(std::move(p.dataset));
  }
}

// Takes out the entry for key, if any (let go by the caller, outside the lock).
std::vector<Parked> take_out(const std::string& key) {
  std::vector<Parked> out;
  std::vector<Parked>& all = parked();
  for (auto it = all.begin(); it != all.end();) {
    if (it->path == key) {
      out.push_back(std::move(*it));
      it = all.erase(it);
    } else {
      ++it;
    }
  }
  return out;
}

}  // namespace

void ParkedDatasets::park(const std::string& path, DatasetPtr dataset, SourceStamp stamp) {
  const std::string key = parked_key(path);
  std::vector<Parked> closed;
  {
    std::lock_guard<std::mutex> g(g_parked_mutex);
    closed = take_out(key);
    std::vector<Parked>& all = parked();
    all.push_back(Parked{key, std::move(dataset), std::move(stamp)});
    while (all.size() > kParked) {
      closed.push_back(std::move(all.front()));
      all.erase(all.begin());
    }
  }
  let_go(std::move(closed));
}

DatasetPtr ParkedDatasets::take(const std::string& path) {
  std::vector<Parked> found;
  {
    std::lock_guard<std::mutex> g(g_parked_mutex);
    found = take_out(parked_key(path));
  }
  if (found.empty()) return nullptr;
  if (!(SourceStamp::of(found.front().stamp.files()) == found.front().stamp)) {
    let_go(std::move(found));
    return nullptr;
  }
  return std::move(found.front().dataset);
}

void ParkedDatasets::drop(const std::string& path) {
  std::vector<Parked> closed;
  {
    std::lock_guard<std::mutex> g(g_parked_mutex);
    closed = take_out(parked_key(path));
  }
  let_go(std::move(closed));
}

void ParkedDatasets::release(DatasetPtr dataset, SourceStamp stamp) {
  std::vector<Parked> one;
  one.push_back(Parked{"", std::move(dataset), std::move(stamp)});
  let_go(std::move(one));
}

}  // namespace gis::core
