// Who may call what: qzsld learns from the kernel which local user owns the
// client's end of each accepted connection, once per connection, and every
// facet operation checks the user of the connection it arrived on.
#pragma once
#include <string>

// Installs the connection and request watchers on the ORB's server side;
// call after ORB_init and before the first object is activated. Root and the
// members of `adminGroup` ("" for none) may call everything; everyone else
// is refused every facet operation, reads too unless `openReads`. Throws
// std::runtime_error when the group does not exist.
void watchCallers(const std::string &adminGroup, bool openReads);

// Returns when the current call's user may call `op` (operations outside the
// facets always pass); otherwise journals and prints the refusal and raises a
// QZSLOpException of code 140 naming the user and what was refused.
void admit(const char *op, const std::string &host);
