// Internal to the host layer: the one place every host log line goes.
#ifndef KDHOST_HOSTLOG_H
#define KDHOST_HOSTLOG_H

namespace kdhost {
// True when a line would go anywhere (a sink or the configured file).
bool log_enabled();
void emit(const char* channel, int level, const char* function, const char* text);
}  // namespace kdhost

#endif
