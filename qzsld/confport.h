// The port qzsld serves on when the command line names none: QZSL_PORT of
// the host's qz.conf, the same key the tool reaches the service through, so
// that the two cannot disagree.
#pragma once
#include <string>

const int DEFAULT_QZSL_PORT = 7390;

// QZSL_PORT of the configuration file `path`, DEFAULT_QZSL_PORT when the file
// or the key is missing. A value that is not a port number, or a file that
// exists but cannot be read, returns false with the reason in `error`.
bool configuredPort(const std::string &path, int &port, std::string &error);
