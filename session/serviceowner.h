// The tool talks only to a QZSL run by root or by the service's account: each
// connection the ORB opens is checked, once established and before its first
// request, against the kernel's word on who owns the server's end.
#pragma once
#include <omniORB4/CORBA.h>
#include <string>
#include <sys/types.h>

// Installs the check on the ORB's new connections; call once, after ORB_init.
void watchServiceOwner();

// The refusal for a service at `address` ("127.0.0.1:7390") run by `owner`,
// or "" when root or `account` runs it.
std::string serviceOwnerRefusal(const std::string &address, uid_t owner, const std::string &account);
