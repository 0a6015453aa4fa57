// end_deadlines.h: what ending the connection and the engine waits for, and
// how long: for 断开连接, for unload with the engine running, for a stop.
#pragma once

#include <chrono>

#include "sync.h"

namespace brovane::net {

using Clock = zelk::SteadyClock;  // monotonic on every target

// 断开连接 returns within 5 s whatever the peer does; its deadlines, counted
// from its start, keep half a second of that in hand.
struct EndDeadlines {
  Clock::time_point flush;  // the accepted frames sent out, our end sent, the peer's end awaited
  Clock::time_point stop;   // the workers ended; then the rest are forced
};

inline EndDeadlines endDeadlinesFrom(Clock::time_point start) {
  using std::chrono::milliseconds;
  return {start + milliseconds(3500), start + milliseconds(4500)};
}

// At unload with the engine running, the workers are told to end and this
// thread takes the completions itself; it waits this long for them first.
inline constexpr std::chrono::milliseconds aloneWorkersWait{200};

}  // namespace brovane::net
