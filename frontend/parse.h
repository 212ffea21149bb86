// Argument parsing and validation of the command options.
#pragma once

// Option bits of the selectors.
enum {
  SEL_C = 1, SEL_ME = 2, SEL_M = 4,                       // listing parser
  SEL_SRV_ME = 2, SEL_SRV_L = 4, SEL_SRV_STATE = 8,       // server parser
  SEL_FTPREF = 2, SEL_FTPREF_PREFERRED = 4, SEL_FTWAIT = 8, SEL_FTRWAIT = 16,
  SEL_NP = 32, SEL_NCP = 64                               // change parser (with SEL_C)
};

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
