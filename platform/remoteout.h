// Output of short integers and strings on a descriptor (remote output).
#pragma once

// Network-order 16-bit value; negative on failure with *errorOut = errno.
int put_short(int descriptor, int value, int *errorOut);
// The text's bytes and a terminating NUL; negative on failure.
int put_string(int descriptor, const char *text, int *errorOut);
