// Built answers kept in memory until the next change of the inventory. The
// listings ask for the same FT server record once per device and for every
// client's settings and server count; building those from SQLite costs many
// times what marshalling them does.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include <omniORB4/CORBA.h>

// Called by every write transaction before it commits, with the store's lock
// held: from then on no answer built before it is handed out.
void invalidateAnswers();

// The answer kept for `key` when nothing has changed since it was built, else
// a new one from `build` (kept for the next call).
std::shared_ptr<const void> cachedAnswer(const std::string &key,
                                        const std::function<std::shared_ptr<const void>()> &build);

// A record answer: the caller owns the returned reference; null stays null.
template <class T> T *cachedRecord(const std::string &key, const std::function<T *()> &build) {
  auto kept = cachedAnswer(key, [&]() -> std::shared_ptr<const void> {
    T *value = build();
    return std::shared_ptr<const T>(value, [](const T *v) {
      if (v) const_cast<T *>(v)->_remove_ref();
    });
  });
  T *value = const_cast<T *>(static_cast<const T *>(kept.get()));
  if (value) value->_add_ref();
  return value;
}

// A sequence answer: a copy the caller owns (its records are shared).
template <class S> S *cachedSequence(const std::string &key, const std::function<S *()> &build) {
  auto kept = cachedAnswer(key, [&] { return std::shared_ptr<const void>(std::shared_ptr<const S>(build())); });
  return new S(*static_cast<const S *>(kept.get()));
}

// A number answer.
inline long cachedNumber(const std::string &key, const std::function<long()> &build) {
  auto kept = cachedAnswer(key, [&] { return std::shared_ptr<const void>(std::make_shared<const long>(build())); });
  return *static_cast<const long *>(kept.get());
}
