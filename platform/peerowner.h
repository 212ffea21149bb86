// Which local user owns the other end of a loopback TCP connection, as the
// kernel's socket diagnostics (netlink) tell it; never what the peer says.
#pragma once
#include <cstdint>
#include <string>
#include <sys/types.h>

// The owner of a connection that cannot be found: it belongs to nobody.
const uid_t NOBODY_UID = 65534;

// One end of a TCP connection: family AF_INET or AF_INET6, the address in
// network order (4 or 16 bytes) and the port in host order.
struct TcpEndpoint {
  int family = 0;
  unsigned char address[16] = {0};
  uint16_t port = 0;
};

// An address as omniORB writes it, "giop:tcp:127.0.0.1:7390" or
// "giop:tcp:[::1]:7390"; false for anything else.
bool parseOrbAddress(const char *text, TcpEndpoint &endpoint);

// The uid of the established socket whose own end is `local` and whose
// other end is `remote`; false when there is none (gone, not established,
// or the kernel cannot say).
bool socketOwner(const TcpEndpoint &local, const TcpEndpoint &remote, uid_t &owner);

// How many established connections to `server` the user `owner` holds open
// (their client ends); -1 when the kernel cannot say.
int connectionsOwnedBy(uid_t owner, const TcpEndpoint &server);

// The owner of the peer's end of the connection between omniORB's `myAddress`
// and `peerAddress`; NOBODY_UID when it cannot be found.
uid_t connectionPeerOwner(const char *myAddress, const char *peerAddress);

// "name (uid n)", the name being the number when the user database has none.
std::string describeUser(uid_t uid);
