#include "diagnostics.h"

#include <map>
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

}  // namespace

void set_change_subject(const std::string& file) { channel().subject = file; }

void report_change(const std::string& message) {
  Channel& c = channel();
  auto key = std::make_pair(c.subject, message);
  auto it = c.index.find(key);
  if (it == c.index.end()) {
    c.index.emplace(key, c.changes.size());
    c.changes.push_back({c.subject, message, 1});
  } else {
    ++c.changes[it->second].count;
  }
}

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

}  // namespace gis
