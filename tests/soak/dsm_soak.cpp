// Soak: mixed library calls against the bundled service in one process,
// with the service restarted (stopped, or killed as a crash would) every M
// calls; or, with --threads N, N threads calling at once while the service
// is killed and started again R times under them. Every call must come back with the status it is expected to have,
// a call made while the service is down with "no connection", and the very
// first call after a restart succeeds: the library proves its connection
// before each call and reconnects on its own. Resident memory is reported after warm-up and at
// the end; leaks are the sanitizer build's to find at exit.
//
//   dsm_soak [--calls N] [--restart-every M] [--warmup W]
//            [--max-rss-growth-kb K] [--call-timeout-ms T]
//   dsm_soak --threads N --restarts R [--call-timeout-ms T]
#include "Outage.h"
#include "ServiceFixture.h"
#include "Workload.h"

#include "Orb.h"
#include "dsm.h"
#include "dsmlib_internal.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using dsmtest::Outcome;

struct Options {
    long calls = 20000;
    long restart_every = 0;  // 0: never
    long warmup = 2000;
    long max_rss_growth_kb = -1;  // -1: report only
    int call_timeout_ms = 3000;
    int threads = 1;
    int restarts = 20;  // with several threads
};

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        const long value = std::strtol(argv[i + 1], nullptr, 10);
        if (flag == "--calls") o.calls = value;
        else if (flag == "--restart-every") o.restart_every = value;
        else if (flag == "--warmup") o.warmup = value;
        else if (flag == "--max-rss-growth-kb") o.max_rss_growth_kb = value;
        else if (flag == "--call-timeout-ms") o.call_timeout_ms = static_cast<int>(value);
        else if (flag == "--threads") o.threads = static_cast<int>(value);
        else if (flag == "--restarts") o.restarts = static_cast<int>(value);
        else throw std::invalid_argument("unknown option " + flag);
    }
    if (argc % 2 == 0) throw std::invalid_argument("every option takes a value");
    return o;
}

long rss_kb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmRSS:") == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// Ends the process when one step has not returned within the bound: a call
// that hangs is the failure the soak is there to find.
class Watchdog {
public:
    explicit Watchdog(std::chrono::milliseconds bound) : bound_(bound), thread_([this] { watch(); }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    void arm(const char* what) {
        std::lock_guard<std::mutex> lock(mutex_);
        what_ = what;
        since_ = Clock::now();
        armed_ = true;
    }
    void disarm() {
        std::lock_guard<std::mutex> lock(mutex_);
        armed_ = false;
    }

private:
    void watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stopping_) {
            wake_.wait_for(lock, std::chrono::milliseconds(100));
            if (armed_ && Clock::now() - since_ > bound_) {
                std::fprintf(stderr, "soak: '%s' did not return within %lld ms\n", what_,
                             static_cast<long long>(bound_.count()));
                std::fflush(stderr);
                std::_Exit(3);
            }
        }
    }

    const std::chrono::milliseconds bound_;
    std::mutex mutex_;
    std::condition_variable wake_;
    const char* what_ = "";
    Clock::time_point since_;
    bool armed_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

// Counts what the library reports, as a daemon's logging function would
// receive it, and keeps the last failure's explanation for the report.
std::atomic<long> g_logged{0};
std::mutex g_failure_mutex;
std::string g_last_failure;
void counting_logger(int severity, const char* text, const char*, const char* function, const char*, int) {
    ++g_logged;
    if (severity < DSM_SEV_ERROR || !text || !function) return;
    std::lock_guard<std::mutex> lock(g_failure_mutex);
    g_last_failure = std::string(function) + ": " + text;
}

class Soak {
public:
    explicit Soak(const Options& o)
        : options_(o), watchdog_(std::chrono::milliseconds(10 * o.call_timeout_ms + 10000)),
          next_restart_(o.restart_every) {}

    int run() {
        service_.start();
        config_.write(dsmtest::service_config(service_.address(), service_.port(), options_.call_timeout_ms));
        dsmlib_set_logger(counting_logger, nullptr);
        dsmlib_set_emmserver(service_.address().c_str());
        if (dsmlib_ping() != DSM_OK) throw std::runtime_error("the bundled service does not answer");
        reseed();
        const auto start = Clock::now();
        std::size_t step = 0;
        while (calls_ < options_.calls) {
            if (options_.restart_every > 0 && calls_ >= next_restart_) restart();
            record(guarded(step++));
            if (rss_start_ < 0 && calls_ >= options_.warmup) rss_start_ = rss_kb();
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return report(seconds);
    }

private:
    Outcome guarded(std::size_t step) {
        watchdog_.arm("a step of the mix");
        const auto begin = Clock::now();
        const Outcome o = workload_.run(step);
        longest_ = std::max(longest_, Clock::now() - begin);
        watchdog_.disarm();
        return o;
    }

    void record(const Outcome& o) {
        calls_ += o.calls;
        ++steps_;
        if (o.ok()) return;
        ++unexpected_;
        failures_[std::string(o.step) + " status " + std::to_string(o.status) + " expected " +
                  std::to_string(o.expected) + (o.as_seeded ? "" : " (values not as seeded)") +
                  "; last failure logged: " + g_last_failure]++;
    }

    // Stops the service (every second time as a crash would), proves that a
    // call to a service that is down comes back with "no connection", starts
    // it again on the same port and seeds it anew.
    void restart() {
        next_restart_ += options_.restart_every;
        if (restarts_++ % 2 == 0)
            service_.stop();
        else
            service_.kill();
        watchdog_.arm("a call while the service is down");
        const int down = dsmlib_ping();
        watchdog_.disarm();
        ++calls_;
        if (down != DSM_E_NO_CONNECTION) {
            ++unexpected_;
            failures_["call while down status " + std::to_string(down)]++;
        }
        service_.start(service_.port());
        reseed();
    }

    // The control object of a restarted service answers once its old
    // connection has been dropped: a few attempts.
    void reseed() {
        for (int attempt = 0;; ++attempt) {
            try {
                DsmControl::Control_var control = service_.control(dsmlibp_get_orb(nullptr)->orb());
                control->reset();
                workload_.seed(control.in());
                return;
            } catch (const CORBA::SystemException&) {
                if (attempt == 4) throw;
            }
        }
    }

    int report(double seconds) {
        const long rss_end = rss_kb();
        const long growth = rss_start_ >= 0 ? rss_end - rss_start_ : 0;
        std::printf("soak: %ld calls in %ld steps, %ld restarts, %.1f s (%.1f us per call)\n", calls_, steps_,
                    restarts_, seconds, 1e6 * seconds / static_cast<double>(calls_));
        std::printf("soak: %ld unexpected statuses, longest step %.1f ms\n", unexpected_,
                    std::chrono::duration<double, std::milli>(longest_).count());
        std::printf("soak: VmRSS after %ld warm-up calls %ld kB, at the end %ld kB (growth %ld kB)\n",
                    options_.warmup, rss_start_, rss_end, growth);
        std::printf("soak: %ld messages logged\n", g_logged.load());
        for (const auto& f : failures_) std::printf("soak: FAILED %ld x %s\n", f.second, f.first.c_str());
        const bool flat = options_.max_rss_growth_kb < 0 || growth <= options_.max_rss_growth_kb;
        if (!flat) std::printf("soak: FAILED memory grew beyond %ld kB\n", options_.max_rss_growth_kb);
        return unexpected_ == 0 && flat ? 0 : 1;
    }

    const Options options_;
    ServiceProcess service_;
    dsmtest::ConfigFile config_;
    dsmtest::Workload workload_{0, 1};
    Watchdog watchdog_;
    long next_restart_;
    long calls_ = 0, steps_ = 0, restarts_ = 0, unexpected_ = 0;
    long rss_start_ = -1;
    Clock::duration longest_{};
    std::map<std::string, long> failures_;
};

// Several threads through the mix while the service is killed under them,
// with a quiet second between restarts.
int soak_threads(const Options& o) {
    ServiceProcess service;
    service.start();
    dsmtest::ConfigFile config;
    config.write(dsmtest::service_config(service.address(), service.port(), o.call_timeout_ms));
    dsmlib_set_logger(counting_logger, nullptr);
    dsmlib_set_emmserver(service.address().c_str());
    if (dsmlib_ping() != DSM_OK) throw std::runtime_error("the bundled service does not answer");
    const auto start = Clock::now();
    dsmtest::Outage outage(service, o.threads, o.call_timeout_ms);
    outage.start();
    for (int i = 0; i < o.restarts; ++i) {
        outage.run_for(std::chrono::milliseconds(1000));
        outage.kill_and_restart(std::chrono::milliseconds(300));
    }
    outage.run_for(std::chrono::milliseconds(1000));
    const dsmtest::OutageReport report = outage.finish();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("soak: %d threads, %.1f s: %s\n", o.threads, seconds, report.summary().c_str());
    std::printf("soak: VmRSS at the end %ld kB, %ld messages logged\n", rss_kb(), g_logged.load());
    return report.ok() && report.kills == o.restarts ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const Options options = parse(argc, argv);
        if (options.threads > 1) return soak_threads(options);
        Soak soak(options);
        return soak.run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "soak: %s\n", e.what());
    } catch (const CORBA::Exception& e) {
        std::fprintf(stderr, "soak: CORBA %s\n", e._name());
    }
    return 2;
}
