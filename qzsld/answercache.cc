#include "answercache.h"

#include <atomic>
#include <map>
#include <mutex>

namespace {

std::atomic<unsigned long> generation{0};
std::mutex cacheMutex;
// Every entry kept was built at entriesGeneration.
std::map<std::string, std::shared_ptr<const void>> entries;
unsigned long entriesGeneration = 0;

// Keeps `answer` as built at `built`; entries of an older generation are
// never handed out again, so they are dropped all at once.
void keep(const std::string &key, unsigned long built, const std::shared_ptr<const void> &answer) {
  std::lock_guard<std::mutex> lock(cacheMutex);
  if (built < entriesGeneration)
    return;
  if (built > entriesGeneration) {
    entries.clear();
    entriesGeneration = built;
  }
  entries[key] = answer;
}

}  // namespace

void invalidateAnswers() { ++generation; }

std::shared_ptr<const void> cachedAnswer(const std::string &key,
                                        const std::function<std::shared_ptr<const void>()> &build) {
  // Read before building: a change that commits while the answer is built
  // makes it stale at once, and it is never handed out.
  unsigned long now = generation.load();
  {
    std::lock_guard<std::mutex> lock(cacheMutex);
    auto found = entries.find(key);
    if (entriesGeneration == now && found != entries.end())
      return found->second;
  }
  std::shared_ptr<const void> answer = build();
  keep(key, now, answer);
  return answer;
}
