// Host logger objects, trace scopes and the logger factory.
#ifndef KDHOST_KDLOGGER_H
#define KDHOST_KDLOGGER_H

#include "brnwlog.h"

class KDLogger {
public:
    // Called for every application message sent with bit 32 in its flags.
    typedef void (*Listener)(const brnwLogMsg_t* msg);

    explicit KDLogger(int id);
    ~KDLogger();
    KDLogger(const KDLogger&) = delete;
    KDLogger& operator=(const KDLogger&) = delete;

    // Process-wide loggers; null until the process installs them.
    static KDLogger* s_default;
    static KDLogger* s_defaultLib;

    int id() const { return id_; }
    bool isDisabled() const { return disabled_; }
    void setDisabled(bool d) { disabled_ = d; }
    // The handle application messages are sent on; null when the logger
    // offers no application-message channel.
    brnwLog_t* handle() const { return handle_; }
    Listener listener() const { return listener_; }
    void setListener(Listener l) { listener_ = l; }

    // One application log entry.
    void logApp(const char* function, int severity, int msgid, const char* text);
    // One debug line (used by Tracer).
    void trace(const char* function, const char* text);

private:
    int id_;
    bool disabled_ = false;
    brnwLog_t* handle_ = nullptr;
    Listener listener_ = nullptr;
};

// Logs entry at construction and exit at destruction of a scope.
class Tracer {
public:
    Tracer(KDLogger* logger, const void* object, const char* function, const char* file, int line);
    ~Tracer();
    Tracer(const Tracer&) = delete;
    Tracer& operator=(const Tracer&) = delete;

private:
    KDLogger* logger_;
    const char* function_;
};

class KDLogFactory {
public:
    static KDLogFactory* Instance();
    // The logger with this id, created on first request; never null.
    // 'exclusive' asks for a logger of one's own (always false here).
    KDLogger* getLogger(int id, bool exclusive);

private:
    KDLogFactory() = default;
};

#endif
