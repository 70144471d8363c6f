// The mix of library calls the soak and the concurrency test run: one
// worker's own pool (with one volume and a storage unit label), storage
// server and global attribute, read through the exported functions the way
// a daemon reads them, each step checking the status and what came back.
#ifndef DSM_TESTS_WORKLOAD_H
#define DSM_TESTS_WORKLOAD_H

#include "DsmControl.hh"

#include <cstddef>
#include <string>

namespace dsmtest {

// What one step of the mix did.
struct Outcome {
    const char* step;   // the step's name
    int calls;          // exported functions called
    int status;         // the first status that was not the expected one, else the expected
    int expected;
    bool as_seeded;     // every value read back was the seeded one
    bool ok() const { return status == expected && as_seeded; }
};

class Workload {
public:
    // 'pools' is how many pools the service holds in all (every worker's).
    Workload(int worker, int pools);

    // Puts the worker's objects into the service.
    void seed(DsmControl::Control_ptr control) const;

    // Runs step 'n' of the mix (modulo its length).
    Outcome run(std::size_t n);
    static std::size_t steps();

    int worker() const { return worker_; }

private:
    Outcome pool_details();
    Outcome volume_details();
    Outcome server_details();
    Outcome pool_list();
    Outcome missing_pool();
    Outcome server_types();
    Outcome storage_units();
    Outcome global_attribute();
    Outcome ping();

    int worker_;
    int pools_;
    std::string pool_, volume_, server_, label_, tag_;
};

}  // namespace dsmtest

#endif
