#include "frontend/exit.h"

#include <cstdio>
#include <cstdlib>

#include "session/session.h"

void qzftconfig_exit(int status) {
  if (!CORBA::is_nil(m_hostSession)) {
    // A session that can no longer be closed must not change the outcome
    // that the run already has.
    try {
      m_hostSession->destroy();
    } catch (const CORBA::Exception &) {
    }
  }
  fflush(stdout);
  fflush(stderr);
  exit(static_cast<unsigned>(status) <= 255 ? status : 252);
}
