// Host logger objects, trace scopes and the logger factory.
#include "KDLogger.h"
#include "hostlog.h"
#include "kdbase.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace kdhost {
brnwLog_t* new_log_handle(int id);
void free_log_handle(brnwLog_t* log);
}  // namespace kdhost

KDLogger* KDLogger::s_default = nullptr;
KDLogger* KDLogger::s_defaultLib = nullptr;

KDLogger::KDLogger(int id) : id_(id), handle_(kdhost::new_log_handle(id)) {}

KDLogger::~KDLogger() { kdhost::free_log_handle(handle_); }

void KDLogger::logApp(const char* function, int severity, int msgid, const char* text) {
    if (disabled_) return;
    char line[2148];
    V_snprintf(line, sizeof line, "[%d/%d] %s", id_, msgid, text ? text : "");
    kdhost::emit("logger", severity, function, line);
}

void KDLogger::trace(const char* function, const char* text) {
    if (disabled_ || !kdhost::log_enabled()) return;
    kdhost::emit("trace", 0, function, text);
}

Tracer::Tracer(KDLogger* logger, const void* object, const char* function, const char* file,
               int line)
    : logger_(logger), function_(function) {
    if (!logger_ || !kdhost::log_enabled()) {
        logger_ = nullptr;  // nothing listens: skip the exit line as well
        return;
    }
    char text[512];
    V_snprintf(text, sizeof text, "enter %p %s:%d", object, file ? file : "", line);
    logger_->trace(function_, text);
}

Tracer::~Tracer() {
    if (logger_) logger_->trace(function_, "exit");
}

KDLogFactory* KDLogFactory::Instance() {
    static KDLogFactory factory;
    return &factory;
}

KDLogger* KDLogFactory::getLogger(int id, bool) {
    // Loggers live as long as the process: callers keep the raw pointers.
    static std::mutex lock;
    static auto* loggers = new std::map<int, std::unique_ptr<KDLogger>>;
    std::lock_guard<std::mutex> guard(lock);
    std::unique_ptr<KDLogger>& slot = (*loggers)[id];
    if (!slot) slot.reset(new KDLogger(id));
    return slot.get();
}
