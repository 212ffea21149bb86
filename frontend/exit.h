// The single way out of the process once a command has started.
#pragma once

// Destroys an open host session, then exits with `status` when it lies in
// 0..255 and with 252 otherwise.
[[noreturn]] void qzftconfig_exit(int status);
