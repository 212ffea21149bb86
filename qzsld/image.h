// Built answers kept in memory until the next change of the inventory. The
// listings ask for the same FT server record once per device, and building it
// from SQLite costs many times what marshalling it does.
#pragma once
#include <functional>
#include <string>

#include <omniORB4/CORBA.h>

// Called by every write transaction before it commits, with the store's lock
// held: from then on no answer built before it is handed out.
void imageChanged();

// The value built for `key` when nothing has changed since it was built, else
// a new one from `build` (kept for the next call). Returns a reference the
// caller owns; a null record is kept and returned as null.
CORBA::ValueBase *imageValue(const std::string &key, const std::function<CORBA::ValueBase *()> &build);
