// Eight threads calling the library at once, each on its own records
// against the bundled service, with a logging function installed and the
// helper's argument exceptions writing the in-core trace ring. Run under
// ThreadSanitizer (-DDSM_SANITIZE_THREAD=ON) it proves the shared state of
// the library race-free; in every build it proves that no thread sees
// another's values and that no trace line is lost.
#include "Outage.h"
#include "PoolHelpers.h"
#include "ServiceFixture.h"
#include "Workload.h"

#include "DiskServiceHelper.h"
#include "dsm.h"
#include "dsmlib_frame.h"
#include "dsmlib_log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using namespace dsmtest;

namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 40;  // rounds of the whole mix per thread
constexpr int kCallTimeoutMs = 3000;  // the fixture's configured call bound

// What the logging function received, from every thread at once.
std::atomic<long> g_messages{0};
std::atomic<long> g_translated{0};

void counting_logger(int severity, const char* text, const char* localized, const char*, const char*, int) {
    if (!text) return;
    g_messages.fetch_add(1, std::memory_order_relaxed);
    if (severity == DSM_SEV_ERROR && localized) g_translated.fetch_add(1, std::memory_order_relaxed);
}

// The helper's argument exception, met inside a frame as an exported
// function meets it: one trace line, one translated explanation.
int argument_exception() {
    const dsm::Frame frame("argument_exception", "test_concurrency", __LINE__);
    DS::PropertySeq props;
    return frame.run([&] {
        CORBA::String_var v = DiskServiceHelper::getPropertyByName(props, nullptr);
        return DSM_OK;
    });
}

struct Result {
    long steps = 0;
    long failed = 0;
    long argument_statuses_wrong = 0;
    std::string first_failure;
};

void worker(int id, Result& result) {
    Workload work(id, kThreads);
    for (std::size_t step = 0; step < kRounds * Workload::steps(); ++step) {
        const Outcome o = work.run(step);
        ++result.steps;
        if (!o.ok() && result.failed++ == 0)
            result.first_failure = std::string(o.step) + " returned " + std::to_string(o.status) +
                                   (o.as_seeded ? "" : " with another worker's values");
        if (argument_exception() != DSM_E_INVALID_ARG) ++result.argument_statuses_wrong;
    }
}

class Concurrency : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        // The settings are made before the threads start, as a daemon makes
        // them; the first connection is made here too.
        dsmlib_set_logger(counting_logger, nullptr);
        dsmlib_set_emmserver(ServiceEnvironment::get().service().address().c_str());
        ASSERT_EQ(dsmlib_ping(), DSM_OK);
        for (int i = 0; i < kThreads; ++i) Workload(i, kThreads).seed(control());
    }
    void TearDown() override { dsmlib_set_logger(nullptr, nullptr); }
};

}  // namespace

TEST_F(Concurrency, EightThreadsReadTheirOwnRecordsWithTheTraceRingActive) {
    unsigned before = 0;
    dsm::ictr_snapshot(&before);
    const long translated_before = g_translated.load();

    std::vector<Result> results(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) threads.emplace_back(worker, i, std::ref(results[i]));
    for (std::thread& t : threads) t.join();

    const long steps_per_thread = static_cast<long>(kRounds * Workload::steps());
    for (int i = 0; i < kThreads; ++i) {
        SCOPED_TRACE("thread " + std::to_string(i));
        EXPECT_EQ(results[i].steps, steps_per_thread);
        EXPECT_EQ(results[i].failed, 0) << results[i].first_failure;
        EXPECT_EQ(results[i].argument_statuses_wrong, 0);
    }

    // Every argument exception wrote exactly one line: none was lost to a
    // race on the sequence, and every slot holds a whole line.
    unsigned after = 0;
    const std::vector<std::string> ring = dsm::ictr_snapshot(&after);
    const long total = kThreads * steps_per_thread;
    EXPECT_EQ(static_cast<unsigned short>(after - before), static_cast<unsigned short>(total));
    ASSERT_EQ(ring.size(), static_cast<std::size_t>(dsm::kTraceLines));
    for (const std::string& line : ring) {
        EXPECT_EQ(line.rfind("ICTR-DSM ", 0), 0u) << line;
        EXPECT_NE(line.find("throwIllArgException"), std::string::npos) << line;
    }

    // Each argument exception and each missing pool (one step in nine) was
    // explained with its translation.
    const long missing_pools = kThreads * kRounds;
    EXPECT_EQ(g_translated.load() - translated_before, total + missing_pools);
    EXPECT_GT(g_messages.load(), total);
}

// The same threads while the service is killed and started again twice, then
// stalled for longer than a call may take: no crash, no deadlock, every step
// back within its bound, and every step that ran with the service up and
// undisturbed (a worker's first after each recovery among them) succeeds.
TEST_F(Concurrency, EightThreadsSurviveKillsAndAStallOfTheService) {
    using std::chrono::milliseconds;
    Outage outage(service(), kThreads, kCallTimeoutMs);
    outage.start();
    outage.run_for(milliseconds(1000));
    outage.kill_and_restart(milliseconds(500));
    outage.run_for(milliseconds(1500));
    outage.kill_and_restart(milliseconds(500));
    outage.run_for(milliseconds(1500));
    outage.stall(milliseconds(kCallTimeoutMs + 1000));
    outage.run_for(milliseconds(2000));
    const OutageReport report = outage.finish();
    std::printf("outage: %s\n", report.summary().c_str());
    EXPECT_TRUE(report.ok()) << report.summary();
    EXPECT_EQ(report.kills, 2);
    EXPECT_EQ(report.stalls, 1);
    // Every worker made an undisturbed step after the start and after each of
    // the three recoveries, and each of those first steps succeeded.
    EXPECT_EQ(report.first_after_restart, 4 * kThreads);
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // This process read its sanitizer options at start; the bundled service,
    // started below, inherits these instead. The service is the peer here,
    // not the subject, and in a ThreadSanitizer build the ORB's reference
    // counting (not instrumented) makes its value handling look racy.
    setenv("TSAN_OPTIONS", "report_bugs=0", 1);
    dsmtest::install_service_environment();
    return RUN_ALL_TESTS();
}
