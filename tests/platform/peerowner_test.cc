#include "platform/peerowner.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(PeerOwner, OrbAddresses) {
  struct Row {
    const char *text;
    int family;  // 0: refused
    uint16_t port;
  };
  for (const Row &row : {Row{"giop:tcp:127.0.0.1:7390", AF_INET, 7390}, Row{"giop:tcp:[::1]:1", AF_INET6, 1},
                         Row{"giop:tcp:127.0.0.1:", 0, 0}, Row{"giop:tcp:127.0.0.1:65536", 0, 0},
                         Row{"giop:tcp:127.0.0.1:0", 0, 0}, Row{"giop:tcp:localhost:7390", 0, 0},
                         Row{"giop:unix:/tmp/socket", 0, 0}, Row{"giop:tcp:[::1:7390", 0, 0},
                         Row{"giop:tcp:127.0.0.1:+1", 0, 0}, Row{nullptr, 0, 0}}) {
    TcpEndpoint endpoint;
    EXPECT_EQ(parseOrbAddress(row.text, endpoint), row.family != 0) << (row.text ? row.text : "null");
    if (row.family != 0) {
      EXPECT_EQ(endpoint.family * 100000 + endpoint.port, row.family * 100000 + row.port);
    }
  }
}

TEST(PeerOwner, UsersByNameOrNumber) {
  EXPECT_EQ(describeUser(0), "root (uid 0)");
  EXPECT_EQ(describeUser(65534), "nobody (uid 65534)");
  EXPECT_EQ(describeUser(3999999), "3999999 (uid 3999999)");
}

std::string orbAddress(const sockaddr_storage &address) {
  char text[INET6_ADDRSTRLEN];
  if (address.ss_family == AF_INET) {
    const sockaddr_in &v4 = reinterpret_cast<const sockaddr_in &>(address);
    return "giop:tcp:" + std::string(inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text)) + ":" +
           std::to_string(ntohs(v4.sin_port));
  }
  const sockaddr_in6 &v6 = reinterpret_cast<const sockaddr_in6 &>(address);
  return "giop:tcp:[" + std::string(inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text)) + "]:" +
         std::to_string(ntohs(v6.sin6_port));
}

// A connection whose client end a child opens as `uid`, seen from the
// accepted end: both ends' owners while it lasts, and after it is gone.
TEST(PeerOwner, BothEndsWhileTheConnectionLastsAndNobodyAfter) {
  for (int family : {AF_INET, AF_INET6})
    for (uid_t uid : {getuid(), (uid_t)65534}) {
      if (uid != getuid() && getuid() != 0) continue;
      SCOPED_TRACE(std::to_string(family) + " as uid " + std::to_string(uid));
      int listener = socket(family, SOCK_STREAM, 0);
      sockaddr_storage address{};
      socklen_t size = sizeof address;
      address.ss_family = family;
      if (family == AF_INET)
        reinterpret_cast<sockaddr_in &>(address).sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      else
        reinterpret_cast<sockaddr_in6 &>(address).sin6_addr = in6addr_loopback;
      ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr *>(&address), size), 0);
      ASSERT_EQ(listen(listener, 1), 0);
      getsockname(listener, reinterpret_cast<sockaddr *>(&address), &size);
      int done[2];
      ASSERT_EQ(pipe(done), 0);
      pid_t child = fork();
      if (child == 0) {
        close(done[1]);
        if (setuid(uid) != 0) _exit(1);
        int client = socket(family, SOCK_STREAM, 0);
        char byte;
        _exit(connect(client, reinterpret_cast<sockaddr *>(&address), size) != 0 || read(done[0], &byte, 1) < 0);
      }
      int accepted = accept(listener, nullptr, nullptr);
      sockaddr_storage mine{}, peer{};
      socklen_t mineSize = sizeof mine, peerSize = sizeof peer;
      getsockname(accepted, reinterpret_cast<sockaddr *>(&mine), &mineSize);
      getpeername(accepted, reinterpret_cast<sockaddr *>(&peer), &peerSize);
      std::string me = orbAddress(mine), them = orbAddress(peer);
      TcpEndpoint here, there;
      ASSERT_TRUE(parseOrbAddress(me.c_str(), here) && parseOrbAddress(them.c_str(), there)) << me << " " << them;
      uid_t owner = 4242;
      EXPECT_TRUE(socketOwner(here, there, owner));
      EXPECT_EQ(owner, getuid());
      EXPECT_EQ(connectionPeerOwner(me.c_str(), them.c_str()), uid);
      EXPECT_EQ(connectionPeerOwner(them.c_str(), me.c_str()), getuid());
      EXPECT_EQ(connectionsOwnedBy(uid, here), 1);
      EXPECT_EQ(connectionsOwnedBy(4242, here), 0);
      // Gone: the client end lingers closed, the accepted end waits; the
      // listener that the kernel might offer instead is not the connection.
      close(done[1]);
      int status = 0;
      waitpid(child, &status, 0);
      EXPECT_EQ(status, 0);
      close(accepted);
      EXPECT_FALSE(socketOwner(there, here, owner));
      EXPECT_FALSE(socketOwner(here, there, owner));
      EXPECT_EQ(connectionPeerOwner(me.c_str(), them.c_str()), NOBODY_UID);
      EXPECT_EQ(connectionPeerOwner(them.c_str(), me.c_str()), NOBODY_UID);
      EXPECT_EQ(connectionsOwnedBy(uid, here), 0);
      close(done[0]);
      close(listener);
    }
}

}  // namespace
