#include "platform/hostinfo.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

int getLocalHostName(char *buffer, size_t size) {
  if (buffer == nullptr || size == 0) return -1;
  // The whole name first: gethostname may fail, or leave no terminator, when
  // the caller's buffer is the shorter one.
  char name[HOST_NAME_MAX + 1];
  if (gethostname(name, sizeof name) != 0) {
    buffer[0] = '\0';
    return -1;
  }
  name[HOST_NAME_MAX] = '\0';
  snprintf(buffer, size, "%s", name);
  return 0;
}

const char *baseName(const char *path, const char *suffix) {
  static std::string result;
  if (path == nullptr || *path == '\0') return nullptr;
  std::string name(path);
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  size_t slash = name.rfind('/');
  if (slash != std::string::npos && name.size() > 1) name.erase(0, slash + 1);
  if (suffix != nullptr && *suffix != '\0') {
    std::string dotted = std::string(".") + suffix;
    // A name that is only the suffix keeps it, so the result is never empty.
    if (name.size() > dotted.size() &&
        name.compare(name.size() - dotted.size(), dotted.size(), dotted) == 0)
      name.erase(name.size() - dotted.size());
  }
  result = name;
  return result.c_str();
}
