#include "platform/remoteout.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <unistd.h>

namespace {

// Writes all of `data`, retrying after signals and short writes.
int write_fully(int descriptor, const char *data, size_t length, int *errorOut) {
  while (length > 0) {
    ssize_t written = write(descriptor, data, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      if (errorOut != nullptr) *errorOut = errno;
      return -1;
    }
    data += written;
    length -= static_cast<size_t>(written);
  }
  return 0;
}

}  // namespace

int put_short(int descriptor, int value, int *errorOut) {
  uint16_t wire = htons(static_cast<uint16_t>(value));
  return write_fully(descriptor, reinterpret_cast<const char *>(&wire), sizeof wire, errorOut);
}

int put_string(int descriptor, const char *text, int *errorOut) {
  if (text == nullptr) text = "";
  return write_fully(descriptor, text, strlen(text) + 1, errorOut);
}
