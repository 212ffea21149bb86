#include "stopping.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

static std::mutex stopMutex;
static std::condition_variable stopSignal;
static bool stopping = false;

void requestStop() {
  std::lock_guard<std::mutex> lock(stopMutex);
  stopping = true;
  stopSignal.notify_all();
}

bool pauseFor(int ms) {
  std::unique_lock<std::mutex> lock(stopMutex);
  return !stopSignal.wait_for(lock, std::chrono::milliseconds(ms), [] { return stopping; });
}

void waitForStop() {
  std::unique_lock<std::mutex> lock(stopMutex);
  stopSignal.wait(lock, [] { return stopping; });
}
