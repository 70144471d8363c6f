// Diagnostic logging into the caller's logging function and the in-core
// trace ring.
#ifndef DSMLIB_LOG_H
#define DSMLIB_LOG_H

#include "dsm.h"
#include "dsmlib_field.h"

#include <locale>
#include <sstream>
#include <string>
#include <vector>

namespace dsm {

// One output stream per thread, imbued with the classic locale once: making
// and imbuing a stream costs more than most messages it composes.
class ComposeStream {
public:
    // Null when this thread's stream is already in use (a piece whose output
    // operator itself composes); the caller then uses a stream of its own.
    static std::ostringstream* acquire() noexcept;
    static void release() noexcept;
};

// A character array among the pieces is read as a record field: a caller's
// record may leave it without a terminator.
template <std::size_t N>
std::string_view piece(const char (&text)[N]) {
    return field_view(text);
}
template <class T>
const T& piece(const T& value) {
    return value;
}

// Composes a message whole, numbers without grouping whatever the process
// locale says.
template <class... Pieces>
std::string compose(const Pieces&... pieces) {
    std::ostringstream* os = ComposeStream::acquire();
    if (!os) {
        std::ostringstream own;
        own.imbue(std::locale::classic());
        (own << ... << piece(pieces));
        return own.str();
    }
    struct Release {
        ~Release() { ComposeStream::release(); }
    } release;
    (*os << ... << piece(pieces));
    return os->str();
}

// Hands one composed message to the logging function, fetched anew so that a
// logger installed while calls run takes effect at their next message.
void emit(int severity, const std::string& text, const char* localized, const char* function,
          const char* source, int line) noexcept;

// True when the logging function is the do-nothing one: a message nobody
// receives need not be composed.
bool discarding() noexcept;

template <class... Pieces>
void log(int severity, const char* function, const char* source, int line,
         const Pieces&... pieces) noexcept {
    if (discarding()) return;
    try {
        emit(severity, compose(pieces...), nullptr, function, source, line);
    } catch (...) {
        // Logging never changes the result of an operation.
    }
}

// Where a unit logs from: its function name and source unit.
struct Site {
    const char* function;
    const char* source;
};

template <class... Pieces>
void log(const Site& at, int severity, int line, const Pieces&... pieces) noexcept {
    log(severity, at.function, at.source, line, pieces...);
}

// In-core trace ring: 128 lines of 81 bytes, guarded by one mutex.
constexpr int kTraceLines = 128;
constexpr int kTraceLineSize = 81;
void ictr_trace(const char* component, const char* first, const char* second,
                const char* third) noexcept;
// The ring's lines in slot order and the next sequence number (for tests and
// for tools that read a live process).
std::vector<std::string> ictr_snapshot(unsigned* next_sequence = nullptr);

}  // namespace dsm

#endif
