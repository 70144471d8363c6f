// The per-user DiskServiceMgr that dsmtool starts when no EMM server is
// configured: one detached bundled service per user, listening on a
// Unix-domain socket in a private state directory (so that only this user
// can reach it), found again through that directory, which also holds its
// pid, log, database and a product configuration file pointing at it.
#ifndef DSMTOOL_EMBEDDED_H
#define DSMTOOL_EMBEDDED_H

#include <stdexcept>
#include <string>
#include <sys/types.h>

namespace dsmtool {

// The service could not be started, or the state directory is unusable.
class ServiceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ServiceState {
    std::string dir;
    std::string config;  // product configuration pointing at the service
    std::string log;
    std::string db;  // empty while the service keeps no database
    std::string socket;  // where it listens
    pid_t pid = -1;
    bool running = false;
};

class EmbeddedService {
public:
    // $XDG_RUNTIME_DIR/dsmtool, else /tmp/dsmtool-<uid>.
    EmbeddedService();

    // Points the library at the user's service, starting a new one when
    // none runs or the one recorded does not answer a ping. Starting or
    // replacing one, and a ping that is slow to answer, are told on stderr.
    ServiceState ensure();
    // What the state directory records, without starting anything.
    ServiceState status() const;
    // Stops the recorded service; false when none was running.
    bool stop();

    const std::string& dir() const { return dir_; }

private:
    std::string path(const char* name) const { return dir_ + "/" + name; }
    void prepare_dir() const;
    ServiceState start();
    void stop_pid(pid_t pid) const;
    void forget() const;

    std::string dir_;
};

// Whether the library answers a ping through this product configuration.
bool answers(const std::string& config);

// The bundled service executable: $DSMTOOL_SERVICE, else dsmservice beside
// dsmtool (installed tree), else ../server/dsmservice (build tree).
std::string service_executable();

}  // namespace dsmtool

#endif
