#include "image.h"

#include <atomic>
#include <map>
#include <mutex>

namespace {

struct Entry {
  unsigned long generation;
  CORBA::ValueBase *value;  // one reference held here; null for a null record
};

std::atomic<unsigned long> generation{0};
std::mutex imageMutex;
std::map<std::string, Entry> entries;
unsigned long entriesGeneration = 0;

void release(CORBA::ValueBase *value) {
  if (value)
    value->_remove_ref();
}

CORBA::ValueBase *shared(CORBA::ValueBase *value) {
  if (value)
    value->_add_ref();
  return value;
}

// Keeps `value` as built at `built`; entries of an older generation are gone
// for good, so they are dropped all at once.
void keep(const std::string &key, unsigned long built, CORBA::ValueBase *value) {
  std::lock_guard<std::mutex> lock(imageMutex);
  if (built < entriesGeneration)
    return;
  if (built > entriesGeneration) {
    for (auto &entry : entries)
      release(entry.second.value);
    entries.clear();
    entriesGeneration = built;
  }
  auto found = entries.find(key);
  if (found != entries.end())
    release(found->second.value);
  entries[key] = Entry{built, shared(value)};
}

}  // namespace

void imageChanged() { ++generation; }

CORBA::ValueBase *imageValue(const std::string &key, const std::function<CORBA::ValueBase *()> &build) {
  // Read before building: a change that commits while the value is built
  // makes it stale at once, and it is never handed out again.
  unsigned long now = generation.load();
  {
    std::lock_guard<std::mutex> lock(imageMutex);
    auto found = entries.find(key);
    if (found != entries.end() && found->second.generation == now)
      return shared(found->second.value);
  }
  CORBA::ValueBase *value = build();
  keep(key, now, value);
  return value;
}
