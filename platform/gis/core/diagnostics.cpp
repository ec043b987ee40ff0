#include "diagnostics.h"

#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "gis/core.h"

namespace gis::core {

namespace {

struct Channel {
  std::string subject;
  std::vector<DataChange> changes;
  std::map<std::pair<std::string, std::string>, size_t> index;  // (file, message) -> changes[i]
};

Channel& channel() {
  thread_local Channel c;
  return c;
}

// file -> (asked -> held), for every thread: a document may be saved on another thread than
// the one that wrote its data.
struct Renames {
  std::mutex mutex;
  std::map<std::string, std::map<std::string, std::string>> by_file;
};

Renames& renames() {
  static Renames r;
  return r;
}

void add_change(const std::string& subject, const std::string& message);

}  // namespace

void set_change_subject(const std::string& file) {
  channel().subject = file;
  Renames& r = renames();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.by_file.erase(file);
}

void report_change(const std::string& message) { add_change(channel().subject, message); }

void report_field_renamed(const std::string& asked, const std::string& name) {
  const std::string& file = channel().subject;
  report_change("field name " + asked + " shortened to " + name);
  Renames& r = renames();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.by_file[file][asked] = name;
}

namespace {

void add_change(const std::string& subject, const std::string& message) {
  Channel& c = channel();
  auto key = std::make_pair(subject, message);
  auto it = c.index.find(key);
  if (it == c.index.end()) {
    c.index.emplace(key, c.changes.size());
    c.changes.push_back({subject, message, 1});
  } else {
    ++c.changes[it->second].count;
  }
}

}  // namespace

}  // namespace gis::core

namespace gis {

std::vector<DataChange> TakeDataChanges() {
  core::Channel& c = core::channel();
  std::vector<DataChange> out = std::move(c.changes);
  c.changes.clear();
  c.index.clear();
  c.subject.clear();
  return out;
}

void ReportDataChange(const std::string& file, const std::string& message) { core::add_change(file, message); }

std::map<std::string, std::string> RenamedFields(const std::string& file) {
  core::Renames& r = core::renames();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.by_file.find(file);
  return it == r.by_file.end() ? std::map<std::string, std::string>() : it->second;
}

}  // namespace gis
