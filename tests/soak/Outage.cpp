#include "Outage.h"

#include "Orb.h"
#include "dsm.h"
#include "dsmlib_internal.h"

#include <algorithm>
#include <csignal>
#include <sstream>

namespace dsmtest {

namespace {

using Clock = std::chrono::steady_clock;

// How long a lookup of the service may take (the library's own bound), and
// room for a loaded machine or a sanitizer build.
constexpr std::chrono::milliseconds kLookupBound{5000};
constexpr std::chrono::milliseconds kSlack{2000};

// Statuses a step may meet when the service went away or was seeded anew
// while it ran: no connection, a broken call, an object not there yet.
bool disturbed_status(int status) {
    return status == DSM_E_NO_CONNECTION || status == DSM_E_CORBA || status == 2050010;
}

std::string describe(const Outcome& o) {
    return std::string(o.step) + " returned " + std::to_string(o.status) + " (expected " +
           std::to_string(o.expected) + ")" + (o.as_seeded ? "" : " with values not as seeded");
}

}  // namespace

std::string OutageReport::summary() const {
    std::ostringstream out;
    out << steps << " steps (" << calls << " calls), " << kills << " kills, " << stalls << " stalls; "
        << clean_steps << " undisturbed steps, " << first_after_restart
        << " of them a worker's first after a recovery; " << unexpected << " unexpected, " << overruns
        << " over their bound; longest step " << longest.count() << " ms";
    for (const std::string& f : failures) out << "\n  " << f;
    return out.str();
}

Outage::Outage(ServiceProcess& service, int workers, int call_timeout_ms)
    : service_(service), workers_(workers),
      call_bound_(2 * std::chrono::milliseconds(call_timeout_ms) + kLookupBound + kSlack) {}

Outage::~Outage() {
    stop_ = true;
    for (std::thread& t : threads_)
        if (t.joinable()) t.join();
}

void Outage::start() {
    reseed();
    settle();
    for (int i = 0; i < workers_; ++i) threads_.emplace_back([this, i] { work(i); });
}

void Outage::disturb() {
    up_ = false;
    ++generation_;
}

void Outage::settle() {
    ++generation_;
    up_ = true;
}

void Outage::kill_and_restart(std::chrono::milliseconds down) {
    disturb();
    service_.kill();
    std::this_thread::sleep_for(down);
    service_.start(service_.port());
    reseed();
    settle();
    std::lock_guard<std::mutex> lock(mutex_);
    ++report_.kills;
}

void Outage::stall(std::chrono::milliseconds stalled) {
    disturb();
    ::kill(service_.pid(), SIGSTOP);
    std::this_thread::sleep_for(stalled);
    ::kill(service_.pid(), SIGCONT);
    settle();
    std::lock_guard<std::mutex> lock(mutex_);
    ++report_.stalls;
}

void Outage::run_for(std::chrono::milliseconds quiet) { std::this_thread::sleep_for(quiet); }

OutageReport Outage::finish() {
    stop_ = true;
    for (std::thread& t : threads_) t.join();
    threads_.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    return report_;
}

// The control object of a restarted service may first meet the old, broken
// connection: a few attempts.
void Outage::reseed() {
    for (int attempt = 0;; ++attempt) {
        try {
            DsmControl::Control_var control = service_.control(dsmlibp_get_orb(nullptr)->orb());
            control->reset();
            for (int i = 0; i < workers_; ++i) Workload(i, workers_).seed(control.in());
            return;
        } catch (const CORBA::SystemException&) {
            if (attempt == 4) throw;
        }
    }
}

void Outage::note(const std::string& failure) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (report_.failures.size() < 10) report_.failures.push_back(failure);
}

void Outage::work(int id) {
    Workload work(id, workers_);
    OutageReport mine;
    long recovered_at = -1;  // the recovery whose first step this worker has made
    for (std::size_t n = 0; !stop_; ++n) {
        const long generation = generation_;
        const bool up = up_;
        const auto begin = Clock::now();
        const Outcome o = work.run(n);
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - begin);
        const bool clean = up && generation == generation_;
        ++mine.steps;
        mine.calls += o.calls;
        mine.longest = std::max(mine.longest, took);
        if (took > call_bound_ * std::max(o.calls, 1)) {
            ++mine.overruns;
            note("worker " + std::to_string(id) + ": " + o.step + " took " + std::to_string(took.count()) + " ms");
        }
        if (clean) {
            ++mine.clean_steps;
            const bool first = generation != recovered_at;
            recovered_at = generation;
            if (first) ++mine.first_after_restart;
            if (!o.ok()) {
                ++mine.unexpected;
                note("worker " + std::to_string(id) + (first ? ", first step after a recovery: " : ": ") + describe(o));
            }
        } else if (!o.ok() && o.status != o.expected && !disturbed_status(o.status)) {
            ++mine.unexpected;
            note("worker " + std::to_string(id) + ", disturbed: " + describe(o));
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    report_.steps += mine.steps;
    report_.calls += mine.calls;
    report_.clean_steps += mine.clean_steps;
    report_.first_after_restart += mine.first_after_restart;
    report_.unexpected += mine.unexpected;
    report_.overruns += mine.overruns;
    report_.longest = std::max(report_.longest, mine.longest);
}

}  // namespace dsmtest
