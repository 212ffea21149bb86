#include "notify.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

void notifyServiceManager(const char *state) {
  const char *path = getenv("NOTIFY_SOCKET");
  if (!path || !*path)
    return;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  size_t length = strlen(path);
  if ((path[0] != '/' && path[0] != '@') || length >= sizeof address.sun_path) {
    fprintf(stderr, "qzsld: NOTIFY_SOCKET \"%s\" is not a socket path\n", path);
    return;
  }
  memcpy(address.sun_path, path, length);
  // A leading '@' names a socket in the abstract namespace.
  if (path[0] == '@')
    address.sun_path[0] = '\0';
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  socklen_t size = (socklen_t)(offsetof(sockaddr_un, sun_path) + length);
  if (fd < 0 || sendto(fd, state, strlen(state), MSG_NOSIGNAL, (sockaddr *)&address, size) < 0)
    fprintf(stderr, "qzsld: cannot notify the service manager at %s: %s\n", path, strerror(errno));
  if (fd >= 0)
    close(fd);
}
