// The call frame every exported function runs in: argument checks in
// parameter order, the connection, conversion failures, the service call and
// the mapping of every failure to a status with a logged explanation.
#ifndef DSMLIB_FRAME_H
#define DSMLIB_FRAME_H

#include "dsmlib_internal.h"
#include "dsmlib_log.h"

#include <exception>

namespace dsm {

class Frame {
public:
    // 'line' is the line that every exception handler of the function logs.
    Frame(const char* function, const char* source, int line)
        : function_(function), source_(source), line_(line) {}

    const char* function() const { return function_; }
    const char* source() const { return source_; }

    template <class... Pieces>
    void log(int severity, int line, const Pieces&... pieces) const noexcept {
        dsm::log(severity, function_, source_, line, pieces...);
    }

    // Argument checks: log "Input argument '<name>' is NULL" (or "... is
    // negative (<n>)") and answer true when the argument is unusable.
    bool isNull(const void* arg, const char* name, int line) const noexcept;
    bool isNegative(long long count, const char* name, int line) const noexcept;

    // A new reference to the service, or nil after logging why not.
    DS::DiskServiceMgr_ptr connect(int line) const;
    // Logs "Failed to populate <type> (error=<status>)"; returns status.
    int populateFailed(const char* type, int status, int line) const noexcept;
    // Converts the database mode; on failure logs and returns its status.
    int dbMode(dsm_dbmode mode, CORBA::Long* out, int line) const noexcept;
    // Logs "Calling dsm-><operation>()".
    void calling(const char* operation, int line) const noexcept;
    // Logs "<operation> returned NULL <type>"; returns 2050202.
    int nullResult(const char* operation, const char* type, int line) const noexcept;

    // Runs 'body' (returning a status) inside the guarded region; no
    // exception leaves it.
    template <class Body>
    int run(Body&& body) const noexcept {
        try {
            return body();
        } catch (const FW::ServiceException& e) {
            return onServiceException(e);
        } catch (const FW::IllegalArgumentException& e) {
            return onIllegalArgument(e);
        } catch (const CORBA::Exception& e) {
            return onCorbaException(e);
        } catch (const std::exception& e) {
            return onStdException(e);
        } catch (...) {
            return onUnknownException();
        }
    }

    // The status a service exception stands for: the error code of disk
    // service details, else -1.
    int serviceExceptionStatus(const FW::ServiceException& e) const noexcept;

private:
    int onServiceException(const FW::ServiceException& e) const noexcept;
    int onIllegalArgument(const FW::IllegalArgumentException& e) const noexcept;
    int onCorbaException(const CORBA::Exception& e) const noexcept;
    int onStdException(const std::exception& e) const noexcept;
    int onUnknownException() const noexcept;

    const char* function_;
    const char* source_;
    int line_;
};

}  // namespace dsm

// Shorthands for the steps of an exported function. They return from the
// enclosing body with the step's status.
#define DSM_FRAME(frame, unit) const ::dsm::Frame frame(__func__, unit, __LINE__)

#define DSM_REQUIRE(frame, arg) \
    do { \
        if ((frame).isNull((arg), #arg, __LINE__)) return DSM_E_INVALID_ARG; \
    } while (0)

#define DSM_REQUIRE_COUNT(frame, arg) \
    do { \
        if ((frame).isNegative((arg), #arg, __LINE__)) return DSM_E_INVALID_ARG; \
    } while (0)

#define DSM_CONNECT(frame, var) \
    DS::DiskServiceMgr_var var = (frame).connect(__LINE__); \
    if (CORBA::is_nil(var.in())) return DSM_E_NO_CONNECTION

#define DSM_POPULATE(frame, type, expr) \
    do { \
        const int dsm_rc_ = (expr); \
        if (dsm_rc_ != 0) return (frame).populateFailed(type, dsm_rc_, __LINE__); \
    } while (0)

#define DSM_DBMODE(frame, mode, out) \
    do { \
        const int dsm_rc_ = (frame).dbMode((mode), &(out), __LINE__); \
        if (dsm_rc_ != 0) return dsm_rc_; \
    } while (0)

#define DSM_LOG(frame, severity, ...) (frame).log((severity), __LINE__, __VA_ARGS__)

#endif
