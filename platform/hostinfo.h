// Host name and program name.
#pragma once
#include <cstddef>

// The local host's name into `buffer` (at most `size` bytes); 0 on success.
int getLocalHostName(char *buffer, size_t size);

// Last component of `path` without the suffix `suffix` (".exe" style);
// a pointer into static storage, or null when `path` is null or empty.
const char *baseName(const char *path, const char *suffix);
