// Host name and program name.
#pragma once
#include <cstddef>

// The local host's name into `buffer` (at most `size` bytes, always
// terminated, truncated when longer); 0 on success.
int getLocalHostName(char *buffer, size_t size);

// Last component of `path` (trailing slashes ignored) without a trailing
// "." + `suffix` ("qz.exe" -> "qz"; a name that is only ".exe" is kept);
// a pointer into static storage, overwritten by the next call, or null when
// `path` is null or empty.
const char *baseName(const char *path, const char *suffix);
