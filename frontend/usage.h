// Usage texts and argument errors; each prints on stderr and ends with 20.
#pragma once
#include "frontend/argerrors.h"

[[noreturn]] void print_usage(const char *command);
[[noreturn]] void print_error(int code, const char *command);
[[noreturn]] void invalidArg(const char *argument, const char *command);

// "--version" or "--help" as the sole argument: the version, or the general
// usage, on standard output and status 0. Any other command line returns.
void answer_version_or_help(int argc, char **argv);
