// Logger, logger locale and service context settings, message delivery and
// the in-core trace ring.
#include "dsmlib_internal.h"
#include "dsmlib_log.h"

#include "kdbase.h"

#include <ace/Thread_Mutex.h>
#include <ace/Guard_T.h>

#include <clocale>
#include <cstdlib>
#include <cstring>

namespace {

void discard(int, const char*, const char*, const char*, const char*, int) {}

// Plain process-wide settings: callers set them before going multi-threaded.
dsmlib_logger_t g_logger = nullptr;
const char* g_locale = nullptr;
dsmlib_DSM_context_t g_context = nullptr;

// setlocale()'s answer may be overwritten by a later call, so keep a copy.
char g_process_locale[256];

const char* process_locale() {
    const char* name = std::setlocale(LC_ALL, nullptr);
    V_strlcpy(g_process_locale, name ? name : "C", sizeof g_process_locale);
    return g_process_locale;
}

const char* stored_locale() {
    if (!g_locale) g_locale = process_locale();
    return g_locale;
}

}  // namespace

extern "C" {

dsmlib_logger_t dsmlib_set_logger(dsmlib_logger_t logger, const char* locale) {
    dsmlib_logger_t previous = dsmlib_get_logger();
    g_logger = logger ? logger : discard;
    g_locale = locale ? locale : process_locale();
    return previous;
}

dsmlib_logger_t dsmlib_get_logger(void) {
    if (!g_logger) g_logger = discard;
    return g_logger;
}

const char* dsmlib_get_logger_locale(void) { return stored_locale(); }

void dsmlib_set_DSM_context(dsmlib_DSM_context_t narrow) {
    if (narrow)
        g_context = narrow;
    else if (!g_context)
        g_context = dsmlibp_default_narrow;
}

}  // extern "C"

dsmlib_DSM_context_t dsmlibp_DSM_context() {
    dsmlib_set_DSM_context(nullptr);
    return g_context;
}

void* dsmlibp_default_narrow(void* object) {
    CORBA::Object_ptr obj = static_cast<CORBA::Object_ptr>(object);
    if (CORBA::is_nil(obj)) return nullptr;
    if (!obj->_is_a(DS::DiskServiceMgr::_PD_repoId)) return nullptr;
    return DS::DiskServiceMgr::_unchecked_narrow(obj);
}

namespace dsm {

namespace {

struct ThreadStream {
    std::ostringstream os;
    std::ios_base::fmtflags flags;
    bool busy = false;
    ThreadStream() : flags(os.flags()) { os.imbue(std::locale::classic()); }
};

ThreadStream& thread_stream() {
    thread_local ThreadStream stream;
    return stream;
}

}  // namespace

std::ostringstream* ComposeStream::acquire() noexcept {
    ThreadStream& t = thread_stream();
    if (t.busy) return nullptr;
    t.busy = true;
    t.os.str(std::string());
    t.os.clear();
    t.os.flags(t.flags);  // no manipulator outlives its message
    t.os.width(0);
    t.os.fill(' ');
    return &t.os;
}

void ComposeStream::release() noexcept { thread_stream().busy = false; }

bool discarding() noexcept { return dsmlib_get_logger() == discard; }

void emit(int severity, const std::string& text, const char* localized, const char* function,
          const char* source, int line) noexcept {
    dsmlib_get_logger()(severity, text.c_str(), localized, function, source, line);
}

namespace {

ACE_Thread_Mutex* g_ring_lock = nullptr;
char* g_ring = nullptr;
unsigned short g_sequence = 0;

// The mutex is made on first use; a function-local static makes that safe
// even when two threads trace first at the same time.
ACE_Thread_Mutex& ring_lock() {
    static ACE_Thread_Mutex* lock = (g_ring_lock = new ACE_Thread_Mutex);
    return *lock;
}

const char* text_or_null(const char* s) { return s ? s : "NULL"; }

}  // namespace

void ictr_trace(const char* component, const char* first, const char* second,
                const char* third) noexcept {
    ACE_Guard<ACE_Thread_Mutex> guard(ring_lock());
    if (!g_ring) {
        g_ring = static_cast<char*>(std::calloc(kTraceLines, kTraceLineSize));
        if (!g_ring) return;
    }
    char* slot = g_ring + (g_sequence % kTraceLines) * kTraceLineSize;
    V_snprintf(slot, kTraceLineSize, "%4s-%-4s %5d <%24.24s | %16.16s | %16.16s>", "ICTR",
               text_or_null(component), static_cast<int>(g_sequence), text_or_null(first),
               text_or_null(second), text_or_null(third));
    g_sequence = static_cast<unsigned short>(g_sequence + 1);
}

std::vector<std::string> ictr_snapshot(unsigned* next_sequence) {
    ACE_Guard<ACE_Thread_Mutex> guard(ring_lock());
    std::vector<std::string> lines;
    if (g_ring) {
        for (int i = 0; i < kTraceLines; ++i) {
            const char* slot = g_ring + i * kTraceLineSize;
            lines.emplace_back(slot, strnlen(slot, kTraceLineSize));
        }
    }
    if (next_sequence) *next_sequence = g_sequence;
    return lines;
}

}  // namespace dsm
