// The mix of library calls the soak and the concurrency test run: one
// worker's own pool (with one volume and a storage unit label), storage
// server and global attribute, read through the exported functions the way
// a daemon reads them, each step checking the status and what came back.
#ifndef DSM_TESTS_WORKLOAD_H
#define DSM_TESTS_WORKLOAD_H

#include "DsmControl.hh"
#include "ServiceProcess.h"

#include "dsm.h"

#include <chrono>
#include <string>
#include <vector>

namespace dsmtest {

// What one step of the mix did; the first unexpected status ends it.
struct Outcome {
    explicit Outcome(const char* step, int expected = DSM_OK)
        : step(step), expected(expected), status(expected) {}

    bool call(int got) {
        ++calls;
        if (got != expected && status == expected) status = got;
        return got == expected;
    }
    void expect(bool seeded) { as_seeded = as_seeded && seeded; }
    bool ok() const { return status == expected && as_seeded; }
    std::string describe() const {
        return std::string(step) + " returned " + std::to_string(status) + " (expected " +
               std::to_string(expected) + ")" + (as_seeded ? "" : " with values not as seeded");
    }

    const char* step;
    int expected;
    int status;             // the first status that was not 'expected', else 'expected'
    int calls = 0;          // exported functions called
    bool as_seeded = true;  // every value read back was the seeded one
    std::chrono::milliseconds took{0};
};

class Workload {
public:
    static constexpr std::size_t kSteps = 7;

    // 'pools' is how many pools the service holds in all (every worker's).
    Workload(int worker, int pools);
    void seed(DsmControl::Control_ptr control) const;
    // Runs and times step 'n' of the mix (modulo its length).
    Outcome run(std::size_t n) const;

    const int worker, pools;
    const std::string pool, volume, server, label, tag;
};

// Resets the service and seeds the objects of 'workers' workers.
void reseed(ServiceProcess& service, int workers);

// The steps one or more workers ran. A step of n calls must return within n
// times what one call may take at most: a ping and the operation
// ('call_timeout_ms' each), and a lookup (at most 5 s, the library's own
// bound; 2 s more leave room for a loaded machine or a sanitizer build).
struct Report {
    explicit Report(int call_timeout_ms)
        : call_bound(std::chrono::milliseconds(2 * call_timeout_ms + 5000 + 2000)) {}

    // A clean step began with the service up and ended before the next
    // disturbance, so it must come back as in quiet times; 'first' marks a
    // worker's first clean step after a recovery.
    void add(const std::string& who, const Outcome& o, bool clean, bool first = false);
    bool ok() const { return unexpected == 0 && overruns == 0; }
    std::string summary() const;

    std::chrono::milliseconds call_bound;
    long steps = 0, calls = 0, restarts = 0, stalls = 0, clean_steps = 0, first_after_restart = 0;
    long unexpected = 0;  // clean steps that failed, or disturbed ones with a foreign status
    long overruns = 0;    // steps that took longer than their bound
    std::chrono::milliseconds longest{0};
    std::vector<std::string> failures;  // the first few
};

// A kill is SIGKILL, 'span_ms' with nothing listening, then a new service on
// the same port, seeded anew; a stall is SIGSTOP for 'span_ms', then SIGCONT.
struct Disturbance {
    enum Kind { kKill, kStall } kind;
    int quiet_before_ms, span_ms;
};

// Seeds every worker's objects, then 'workers' threads run the mix while the
// service is disturbed as 'plan' says, and 'quiet_after_ms' more; the library
// must reconnect by itself.
Report outage(ServiceProcess& service, int workers, int call_timeout_ms, const std::vector<Disturbance>& plan,
              int quiet_after_ms);

}  // namespace dsmtest

#endif
