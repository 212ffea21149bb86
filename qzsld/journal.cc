#include "journal.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <sys/time.h>
#include <ctime>

static FILE *journalFile = nullptr;
static std::mutex journalMutex;

// UTC with milliseconds, e.g. 2024-05-01T13:02:03.045Z, so that the journal
// can be read next to logs of other hosts and time zones.
static std::string timestamp() {
  timeval now;
  gettimeofday(&now, nullptr);
  tm utc;
  gmtime_r(&now.tv_sec, &utc);
  char text[40];
  size_t length = strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  snprintf(text + length, sizeof text - length, ".%03dZ", (int)(now.tv_usec / 1000));
  return text;
}

void openJournal(const std::string &path) {
  journalFile = fopen(path.c_str(), "a");
  if (!journalFile)
    throw std::runtime_error("cannot open journal " + path + ": " + strerror(errno));
}

void closeJournal() {
  std::lock_guard<std::mutex> lock(journalMutex);
  if (journalFile)
    fclose(journalFile);
  journalFile = nullptr;
}

void journalCall(const std::string &op, const std::string &renderedArgs) {
  std::lock_guard<std::mutex> lock(journalMutex);
  if (!journalFile)
    return;
  std::string line = timestamp() + " " + op + renderedArgs + "\n";
  fwrite(line.data(), 1, line.size(), journalFile);
  fflush(journalFile);
}
