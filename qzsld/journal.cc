#include "journal.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <stdexcept>

static FILE *journalFile = nullptr;
static std::mutex journalMutex;

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
  std::string line = op + renderedArgs + "\n";
  fwrite(line.data(), 1, line.size(), journalFile);
  fflush(journalFile);
}
