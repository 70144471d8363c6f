// Soak: the mix of Workload.h against the bundled service in one process,
// restarted every M calls; or N threads while the service is killed R times
// under them (outage()). Resident memory is reported after warm-up and at the
// end; leaks are the sanitizer build's to find at exit.
//
//   dsm_soak [--calls N] [--restart-every M] [--warmup W]
//            [--max-rss-growth-kb K] [--call-timeout-ms T]
//   dsm_soak --threads N --restarts R [--call-timeout-ms T]
#include "Workload.h"
#include "ServiceFixture.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <map>
#include <stdexcept>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// A restart_every of 0 never restarts, a max_rss_growth_kb of -1 only reports.
struct Options {
    long calls = 20000, restart_every = 0, warmup = 2000, max_rss_growth_kb = -1, call_timeout_ms = 3000;
    long threads = 1, restarts = 20;
};

Options parse(int argc, char** argv) {
    Options o;
    const std::map<std::string, long*> flags = {
        {"--calls", &o.calls},     {"--restart-every", &o.restart_every}, {"--warmup", &o.warmup},
        {"--threads", &o.threads}, {"--max-rss-growth-kb", &o.max_rss_growth_kb},
        {"--restarts", &o.restarts}, {"--call-timeout-ms", &o.call_timeout_ms},
    };
    if (argc % 2 == 0) throw std::invalid_argument("every option takes a value");
    for (int i = 1; i + 1 < argc; i += 2) {
        const auto flag = flags.find(argv[i]);
        if (flag == flags.end()) throw std::invalid_argument(std::string("unknown option ") + argv[i]);
        *flag->second = std::strtol(argv[i + 1], nullptr, 10);
    }
    return o;
}

long rss_kb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmRSS:") == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// Ends the process when a step has not returned within the bound: a call
// that hangs is the failure the soak is there to find.
void watchdog_expired(int) {
    const char message[] = "soak: a step did not return within its bound\n";
    (void)!write(2, message, sizeof message - 1);
    std::_Exit(3);
}

std::atomic<long> g_logged{0};
void counting_logger(int, const char*, const char*, const char*, const char*, int) { ++g_logged; }

// One thread through the mix; every restart_every calls the service is
// stopped (every second time as a crash would), a call while it is down
// must come back with "no connection", and every step after it must succeed
// like every other. False when memory grew beyond the bound.
bool soak(const Options& o, ServiceProcess& service, dsmtest::Report& report) {
    dsmtest::reseed(service, 1);
    const dsmtest::Workload workload(0, 1);
    std::signal(SIGALRM, watchdog_expired);
    auto watched = [&](auto call) {
        alarm(static_cast<unsigned>((10 * o.call_timeout_ms + 10999) / 1000));
        report.add("soak", call(), true);
        alarm(0);
    };
    long rss_start = -1;
    while (report.calls < o.calls) {
        if (o.restart_every > 0 && report.calls >= (report.restarts + 1) * o.restart_every) {
            if (report.restarts++ % 2 == 0)
                service.stop();
            else
                service.kill();
            watched([] {
                dsmtest::Outcome down("a call while the service is down", DSM_E_NO_CONNECTION);
                down.call(dsmlib_ping());
                return down;
            });
            service.start(service.port());
            dsmtest::reseed(service, 1);
        }
        watched([&] { return workload.run(static_cast<std::size_t>(report.steps)); });
        if (rss_start < 0 && report.calls >= o.warmup) rss_start = rss_kb();
    }
    const long growth = rss_start >= 0 ? rss_kb() - rss_start : 0;
    std::printf("soak: VmRSS after %ld warm-up calls %ld kB, grew by %ld kB\n", o.warmup, rss_start, growth);
    return o.max_rss_growth_kb < 0 || growth <= o.max_rss_growth_kb;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const Options o = parse(argc, argv);
        ServiceProcess service;
        dsmtest::ConfigFile config;
        service.start();
        const int timeout = static_cast<int>(o.call_timeout_ms);
        config.write(dsmtest::service_config(service.address(), service.port(), timeout));
        dsmlib_set_logger(counting_logger, nullptr);
        dsmlib_set_emmserver(service.address().c_str());
        if (dsmlib_ping() != DSM_OK) throw std::runtime_error("the bundled service does not answer");

        dsmtest::Report report(timeout);
        const auto start = Clock::now();
        bool memory_ok = true;
        if (o.threads > 1) {
            // Killed under the threads, 300 ms each time, with a quiet second between kills.
            std::vector<dsmtest::Disturbance> plan(o.restarts, {dsmtest::Disturbance::kKill, 1000, 300});
            report = dsmtest::outage(service, static_cast<int>(o.threads), timeout, plan, 1000);
            std::printf("soak: VmRSS at the end %ld kB\n", rss_kb());
        } else {
            memory_ok = soak(o, service, report);
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("soak: %ld threads, %.1f s (%.1f us per call), %ld messages logged: %s\n", o.threads,
                    seconds, 1e6 * seconds / static_cast<double>(std::max(report.calls, 1L)), g_logged.load(),
                    report.summary().c_str());
        if (!memory_ok) std::printf("soak: FAILED (memory grew beyond its bound)\n");
        return memory_ok && report.ok() ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "soak: %s\n", e.what());
    } catch (const CORBA::Exception& e) {
        std::fprintf(stderr, "soak: CORBA %s\n", e._name());
    }
    return 2;
}
