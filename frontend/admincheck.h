// Administrator-rights check of start-up.
#pragma once
#include <cstdio>

extern int jobmgr_flag;
extern int bRemote;
extern int OUTSOCK;

// Returns only when the caller may administer the local host; otherwise
// prints the reason and exits directly.
void check_if_local_qzu_admin(const char *name);
void check_if_local_qzu_admin_for_secure_command(const char *name, int secureCommand);

int xfprintf(FILE *stream, const char *format, ...) __attribute__((format(printf, 2, 3)));
