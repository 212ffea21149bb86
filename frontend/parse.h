// Argument parsing and validation of the command options.
#pragma once

#include "run/selectors.h"

int parse_common_listing_args(int count, char **arguments, const char *command);
int parse_common_server_args(int count, char **arguments, const char *command);
int parse_common_args(int count, char **arguments, const char *command);
bool validate_name(const char *text);
bool isValidNum(const char *text);

// The positional commands. Each returns selector 0 or ends the run.
// "-deleteclient" (the name goes to client_name) and "-deleteserver"
// (to media_server): [-verbose] <name> [-verbose].
int parse_client_name_args(int count, char **arguments, const char *command);
int parse_server_name_args(int count, char **arguments, const char *command);
// "-rescanclient": [-verbose | -C]... <client_name> [-verbose].
int parse_rescan_client_args(int count, char **arguments, const char *command);
// "-rescanallclients": a single argument must be "-verbose".
int parse_rescan_all_args(int count, char **arguments, const char *command);
