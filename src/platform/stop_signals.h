#pragma once

#include <functional>

class QObject;

namespace platform {

// Runs OnStop in the event loop (never inside the signal handler) each time the process is asked
// to stop: SIGTERM or SIGINT here. The handler only writes a byte into a socket pair, which a
// socket notifier owned by Context reads. Does nothing where the platform has no such signals.
void WatchStopSignals(QObject* context, std::function<void()> onStop);

}  // namespace platform
