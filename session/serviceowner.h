// The tool talks only to a QZSL run by root or by the service's account: each
// connection the ORB opens is checked, once established and before its first
// request, against the kernel's word on who owns the server's end.
#pragma once

// Installs the check on the ORB's new connections; call once, after ORB_init.
void watchServiceOwner();
