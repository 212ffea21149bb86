#include "platform/peerowner.h"

#include <arpa/inet.h>
#include <cstring>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

bool parseOrbAddress(const char *text, TcpEndpoint &endpoint) {
  static const char PREFIX[] = "giop:tcp:";
  if (text == nullptr || strncmp(text, PREFIX, sizeof PREFIX - 1) != 0) return false;
  std::string rest = text + sizeof PREFIX - 1;
  size_t colon = rest.rfind(':');
  if (colon == std::string::npos || colon + 1 == rest.size()) return false;
  std::string host = rest.substr(0, colon), port = rest.substr(colon + 1);
  if (port.find_first_not_of("0123456789") != std::string::npos || port.size() > 5) return false;
  unsigned long number = std::stoul(port);
  if (number == 0 || number > 65535) return false;
  endpoint.port = static_cast<uint16_t>(number);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
    endpoint.family = AF_INET6;
    return inet_pton(AF_INET6, host.substr(1, host.size() - 2).c_str(), endpoint.address) == 1;
  }
  endpoint.family = AF_INET;
  return inet_pton(AF_INET, host.c_str(), endpoint.address) == 1;
}

namespace {

size_t addressSize(int family) { return family == AF_INET6 ? 16 : 4; }

// The kernel may answer with a listening socket when the connection is gone;
// only the very connection, established, counts.
bool sameConnection(const inet_diag_msg &found, const TcpEndpoint &local, const TcpEndpoint &remote) {
  size_t size = addressSize(local.family);
  return found.idiag_family == local.family && found.idiag_state == TCP_ESTABLISHED &&
         ntohs(found.id.idiag_sport) == local.port && ntohs(found.id.idiag_dport) == remote.port &&
         memcmp(found.id.idiag_src, local.address, size) == 0 &&
         memcmp(found.id.idiag_dst, remote.address, size) == 0;
}

// Sends one request for established TCP sockets of `local`'s family (exactly
// local to remote, or all of them with `dump`) and hands each socket of the
// kernel's answer to `take` until it returns false. False when the kernel
// could not be asked or answered with an error.
template <class Take>
bool ask(const TcpEndpoint &local, const TcpEndpoint &remote, bool dump, Take take) {
  if (local.family != AF_INET && local.family != AF_INET6) return false;
  int fd = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
  if (fd < 0) return false;
  // A kernel that never answers must not hold a connection up.
  timeval bound{2, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
  struct {
    nlmsghdr header;
    inet_diag_req_v2 request;
  } message{};
  message.header.nlmsg_len = sizeof message;
  message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
  message.header.nlmsg_flags = NLM_F_REQUEST | (dump ? NLM_F_DUMP : 0);
  message.request.sdiag_family = static_cast<uint8_t>(local.family);
  message.request.sdiag_protocol = IPPROTO_TCP;
  message.request.idiag_states = 1u << TCP_ESTABLISHED;
  message.request.id.idiag_sport = htons(local.port);
  message.request.id.idiag_dport = htons(remote.port);
  memcpy(message.request.id.idiag_src, local.address, addressSize(local.family));
  memcpy(message.request.id.idiag_dst, remote.address, addressSize(local.family));
  message.request.id.idiag_cookie[0] = message.request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
  sockaddr_nl kernel{};
  kernel.nl_family = AF_NETLINK;
  bool answered = sendto(fd, &message, sizeof message, 0, reinterpret_cast<sockaddr *>(&kernel), sizeof kernel) > 0;
  std::vector<char> buffer(32768);
  for (bool more = answered; more;) {
    sockaddr_nl from{};
    socklen_t fromSize = sizeof from;
    ssize_t length = recvfrom(fd, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr *>(&from), &fromSize);
    // Only the kernel's own answer is believed.
    if (length <= 0 || from.nl_pid != 0) answered = more = false;
    more = more && dump;
    int left = static_cast<int>(length);
    for (nlmsghdr *reply = reinterpret_cast<nlmsghdr *>(buffer.data()); answered && NLMSG_OK(reply, left);
         reply = NLMSG_NEXT(reply, left)) {
      if (reply->nlmsg_type == NLMSG_DONE) more = false;
      if (reply->nlmsg_type == NLMSG_ERROR) answered = more = false;
      if (reply->nlmsg_type == SOCK_DIAG_BY_FAMILY && reply->nlmsg_len >= NLMSG_LENGTH(sizeof(inet_diag_msg)) &&
          !take(*static_cast<const inet_diag_msg *>(NLMSG_DATA(reply))))
        more = false;
    }
  }
  close(fd);
  return answered;
}

}  // namespace

bool socketOwner(const TcpEndpoint &local, const TcpEndpoint &remote, uid_t &owner) {
  if (local.family != remote.family) return false;
  bool found = false;
  ask(local, remote, false, [&](const inet_diag_msg &socket) {
    if (sameConnection(socket, local, remote)) {
      owner = socket.idiag_uid;
      found = true;
    }
    return !found;
  });
  return found;
}

int connectionsOwnedBy(uid_t owner, const TcpEndpoint &server) {
  int count = 0;
  TcpEndpoint any;
  any.family = server.family;
  bool answered = ask(any, any, true, [&](const inet_diag_msg &socket) {
    if (socket.idiag_uid == owner && ntohs(socket.id.idiag_dport) == server.port &&
        memcmp(socket.id.idiag_dst, server.address, addressSize(server.family)) == 0)
      ++count;
    return true;
  });
  return answered ? count : -1;
}

uid_t connectionPeerOwner(const char *myAddress, const char *peerAddress) {
  TcpEndpoint mine, peer;
  uid_t owner = NOBODY_UID;
  if (parseOrbAddress(myAddress, mine) && parseOrbAddress(peerAddress, peer) && socketOwner(peer, mine, owner))
    return owner;
  return NOBODY_UID;
}

std::string describeUser(uid_t uid) {
  passwd entry, *found = nullptr;
  std::vector<char> buffer(16384);
  std::string name = std::to_string(uid);
  if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) name = found->pw_name;
  return name + " (uid " + std::to_string(uid) + ")";
}
