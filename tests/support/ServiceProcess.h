// Runs the bundled service as a child process for a test: started on a loopback
// address, waited for, and stopped on every path (also when the test dies).
#ifndef DSM_TESTS_SERVICEPROCESS_H
#define DSM_TESTS_SERVICEPROCESS_H

#include "DsmControl.hh"

#include <csignal>
#include <string>
#include <sys/types.h>

class ServiceProcess {
public:
    ServiceProcess();
    ~ServiceProcess();
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    // Starts the service (port 0: a free one) and waits, at most 10 s, until
    // it is ready. Throws std::runtime_error when it is not.
    void start(int port = 0);
    void stop() { reap(SIGTERM); }  // SIGTERM, a bounded wait, then SIGKILL
    void kill() { reap(SIGKILL); }  // as a crash would
    void restart() { start(port_); }  // stop() and start() on the same port

    // From the next start on, the service keeps its objects in an SQLite database
    // at 'path' (empty: in memory). A start after kill() finds what was committed.
    void use_database(const std::string& path) { db_path_ = path; }
    const std::string& database() const { return db_path_; }
    // From the next start on, whether the service activates its control object
    // (on by default; the per-user service of the tool never does).
    void use_control(bool on) { control_ = on; }

    int port() const { return port_; }
    const std::string& address() const { return address_; }
    pid_t pid() const { return pid_; }
    bool running() const { return pid_ > 0; }
    // The exit status of the last stop (as waitpid reports it).
    int last_status() const { return status_; }

    std::string corbaloc(const char* key) const;
    // A new reference to the service's control object.
    DsmControl::Control_ptr control(CORBA::ORB_ptr orb) const;

private:
    void reap(int signal);

    std::string address_ = "127.0.0.1", dir_, db_path_;
    bool control_ = true;
    int port_ = 0;
    pid_t pid_ = -1;
    int status_ = 0;
};

#endif
