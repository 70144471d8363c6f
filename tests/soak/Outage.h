// Several workers run the mix at once while the service is taken away under
// them: killed and started again on the same port, or stalled (SIGSTOP, then
// SIGCONT). Each step is timed against its bound, and a step that began with
// the service up and ended before the next disturbance must come back exactly
// as in quiet times: the library reconnects by itself, in every thread.
#ifndef DSM_TESTS_OUTAGE_H
#define DSM_TESTS_OUTAGE_H

#include "ServiceProcess.h"
#include "Workload.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace dsmtest {

struct OutageReport {
    long steps = 0;
    long calls = 0;
    long clean_steps = 0;         // began with the service up, no disturbance during
    long first_after_restart = 0; // clean steps that were a worker's first after a restart or stall
    long unexpected = 0;          // clean steps that failed, or disturbed ones with a foreign status
    long overruns = 0;            // steps that took longer than their bound
    long kills = 0;
    long stalls = 0;
    std::chrono::milliseconds longest{0};
    std::vector<std::string> failures;  // the first few, for the report

    bool ok() const { return unexpected == 0 && overruns == 0; }
    std::string summary() const;
};

class Outage {
public:
    // 'call_timeout_ms' is the library's configured call bound; a step of n
    // calls must return within n times what one call may take at most (a
    // ping, a new lookup and the operation).
    Outage(ServiceProcess& service, int workers, int call_timeout_ms);
    ~Outage();
    Outage(const Outage&) = delete;
    Outage& operator=(const Outage&) = delete;

    // Seeds every worker's objects and starts the workers.
    void start();
    // SIGKILL, 'down' with nothing listening, then the service again on the
    // same port, seeded anew.
    void kill_and_restart(std::chrono::milliseconds down);
    // SIGSTOP for 'stalled', then SIGCONT.
    void stall(std::chrono::milliseconds stalled);
    // Lets the workers run undisturbed for a while.
    void run_for(std::chrono::milliseconds quiet);
    // Stops and joins the workers.
    OutageReport finish();

private:
    void work(int id);
    void reseed();
    void disturb();
    void settle();
    void note(const std::string& failure);

    ServiceProcess& service_;
    const int workers_;
    const std::chrono::milliseconds call_bound_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> up_{false};
    std::atomic<long> generation_{0};  // changes at every disturbance and recovery
    std::mutex mutex_;                 // guards report_
    OutageReport report_;
    std::vector<std::thread> threads_;
};

}  // namespace dsmtest

#endif
