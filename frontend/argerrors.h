// The argument errors that print_error shows; the command table's refusal
// functions give them too.
#pragma once

enum {
  ERR_ARGUMENTS, ERR_HOSTNAME, ERR_FTPREF, ERR_WAIT, ERR_LIMIT, ERR_STATE, ERR_WAIT_WITHOUT_PREFERRED,
  ERR_NO_STATE, ERR_NO_LIMIT, ERR_NO_CLIENT, ERR_NO_MEDIA_SERVER, ERR_NO_FTWAIT, ERR_NO_FTRWAIT, ERR_NP,
  ERR_FTPREF_AND_NP, ERR_NCP, ERR_FTPREF_AND_NCP
};
