#include "platform/peerowner.h"

#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The addresses that pass are those of real connections, below.
TEST(PeerOwner, OrbAddressesAndUsers) {
  TcpEndpoint endpoint;
  for (const char *text : {"giop:tcp:127.0.0.1:", "giop:tcp:127.0.0.1:65536", "giop:tcp:127.0.0.1:0",
                           "giop:tcp:localhost:7390", "giop:unix:/tmp/socket", "giop:tcp:[::1:7390",
                           "giop:tcp:127.0.0.1:+1", static_cast<const char *>(nullptr)})
    EXPECT_FALSE(parseOrbAddress(text, endpoint)) << (text ? text : "null");
  EXPECT_TRUE(parseOrbAddress("giop:tcp:[::1]:1", endpoint) && endpoint.family == AF_INET6 && endpoint.port == 1);
  EXPECT_EQ(describeUser(0) + ", " + describeUser(65534) + ", " + describeUser(3999999),
            "root (uid 0), nobody (uid 65534), 3999999 (uid 3999999)");
}

std::string orbAddress(const sockaddr_storage &address) {
  char host[NI_MAXHOST], port[NI_MAXSERV];
  getnameinfo(reinterpret_cast<const sockaddr *>(&address), sizeof address, host, sizeof host, port, sizeof port,
              NI_NUMERICHOST | NI_NUMERICSERV);
  return std::string("giop:tcp:") + (address.ss_family == AF_INET6 ? "[" + std::string(host) + "]" : host) + ":" + port;
}

// A connection whose client end is made as `uid` (the kernel records the
// socket's creator), seen from the accepted end: both ends' owners while it
// lasts, and nobody after it is gone.
TEST(PeerOwner, BothEndsWhileTheConnectionLastsAndNobodyAfter) {
  for (int family : {AF_INET, AF_INET6})
    for (uid_t uid : {getuid(), (uid_t)1 /* daemon */}) {
      if (uid != getuid() && getuid() != 0) continue;
      SCOPED_TRACE(std::to_string(family) + " as uid " + std::to_string(uid));
      int listener = socket(family, SOCK_STREAM, 0);
      sockaddr_storage address{}, mine{}, peer{};
      socklen_t size = sizeof address;
      address.ss_family = family;
      if (family == AF_INET)
        reinterpret_cast<sockaddr_in &>(address).sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      else
        reinterpret_cast<sockaddr_in6 &>(address).sin6_addr = in6addr_loopback;
      ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr *>(&address), size) | listen(listener, 1), 0);
      getsockname(listener, reinterpret_cast<sockaddr *>(&address), &size);
      ASSERT_EQ(seteuid(uid), 0);
      int client = socket(family, SOCK_STREAM, 0);
      ASSERT_EQ(seteuid(getuid()), 0);
      ASSERT_EQ(connect(client, reinterpret_cast<sockaddr *>(&address), size), 0);
      int accepted = accept(listener, nullptr, nullptr);
      socklen_t mineSize = sizeof mine, peerSize = sizeof peer;
      getsockname(accepted, reinterpret_cast<sockaddr *>(&mine), &mineSize);
      getpeername(accepted, reinterpret_cast<sockaddr *>(&peer), &peerSize);
      std::string me = orbAddress(mine), them = orbAddress(peer);
      TcpEndpoint here;
      ASSERT_TRUE(parseOrbAddress(me.c_str(), here)) << me;
      EXPECT_EQ(connectionPeerOwner(me.c_str(), them.c_str()), uid);
      EXPECT_EQ(connectionPeerOwner(them.c_str(), me.c_str()), getuid());
      EXPECT_EQ(connectionsOwnedBy(uid, here), 1);
      EXPECT_EQ(connectionsOwnedBy(4242, here), 0);
      // Gone: the client end lingers closed, the accepted end waits; the
      // listener that the kernel might offer instead is not the connection.
      close(client);
      close(accepted);
      EXPECT_EQ(connectionPeerOwner(me.c_str(), them.c_str()), NOBODY_UID);
      EXPECT_EQ(connectionPeerOwner(them.c_str(), me.c_str()), NOBODY_UID);
      EXPECT_EQ(connectionsOwnedBy(uid, here), 0);
      close(listener);
    }
}

}  // namespace
