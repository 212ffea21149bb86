// A span of time as the ORB wrapper takes it: whole seconds and microseconds.
#pragma once

struct TimeValue {
  long sec;
  long usec;
  TimeValue(long seconds = 0, long microseconds = 0) : sec(seconds), usec(microseconds) {}
  static const TimeValue zero;
  // The span in milliseconds; never negative.
  unsigned long long msec() const {
    long long ms = static_cast<long long>(sec) * 1000 + usec / 1000;
    return ms < 0 ? 0 : static_cast<unsigned long long>(ms);
  }
};

inline const TimeValue TimeValue::zero;
