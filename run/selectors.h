// Option bits of the selectors: a parser returns their sum, the dispatcher
// checks it against a command's accepted set and the command reads it.
#pragma once

enum {
  SEL_NONE = 0,
  SEL_C = 1, SEL_ME = 2, SEL_M = 4,                       // listing parser
  SEL_SRV_ME = 2, SEL_SRV_L = 4, SEL_SRV_STATE = 8,       // server parser
  SEL_FTPREF = 2, SEL_FTPREF_PREFERRED = 4, SEL_FTWAIT = 8, SEL_FTRWAIT = 16,
  SEL_NP = 32, SEL_NCP = 64                               // change parser (with SEL_C)
};
