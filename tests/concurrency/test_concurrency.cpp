// Eight threads calling the library at once, each on its own records
// against the bundled service, with a logging function installed and the
// helper's argument exceptions writing the in-core trace ring. Run under
// ThreadSanitizer (-DDSM_SANITIZE_THREAD=ON) it proves the shared state of
// the library race-free; in every build it proves that no thread sees
// another's values and that no trace line is lost.
#include "PoolHelpers.h"
#include "Workload.h"

#include "DiskServiceHelper.h"
#include "dsm.h"
#include "dsmlib_frame.h"
#include "dsmlib_log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

using namespace dsmtest;

namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 40;           // rounds of the whole mix per thread
constexpr int kCallTimeoutMs = 3000;  // the fixture's configured call bound

// The translated failures the logging function received, from every thread at once.
std::atomic<long> g_translated{0};

void counting_logger(int severity, const char* text, const char* localized, const char*, const char*, int) {
    if (text && severity == DSM_SEV_ERROR && localized) g_translated.fetch_add(1, std::memory_order_relaxed);
}

// Runs the whole mix kRounds times, each step followed by the helper's
// argument exception met inside a frame as an exported function meets it
// (one trace line, one translated explanation); returns the first failure.
std::string worker(int id) {
    const Workload work(id, kThreads);
    DS::PropertySeq props;
    for (std::size_t step = 0; step < kRounds * Workload::kSteps; ++step) {
        const Outcome o = work.run(step);
        if (!o.ok()) return o.describe();
        const dsm::Frame frame("argument_exception", "test_concurrency", __LINE__);
        const int status = frame.run([&] {
            CORBA::String_var v = DiskServiceHelper::getPropertyByName(props, nullptr);
            return DSM_OK;
        });
        if (status != DSM_E_INVALID_ARG) return "argument exception returned " + std::to_string(status);
    }
    return "";
}

class Concurrency : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        // Settings and the first connection before the threads start, as a daemon does.
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

    std::vector<std::string> failures(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) threads.emplace_back([&failures, i] { failures[i] = worker(i); });
    for (std::thread& t : threads) t.join();
    for (int i = 0; i < kThreads; ++i) EXPECT_EQ(failures[i], "") << "thread " << i;

    // Every argument exception wrote exactly one line: none was lost to a
    // race on the sequence, and every slot holds a whole line.
    unsigned after = 0;
    const std::vector<std::string> ring = dsm::ictr_snapshot(&after);
    const long total = kThreads * kRounds * static_cast<long>(Workload::kSteps);
    EXPECT_EQ(static_cast<unsigned short>(after - before), static_cast<unsigned short>(total));
    ASSERT_EQ(ring.size(), static_cast<std::size_t>(dsm::kTraceLines));
    for (const std::string& line : ring) {
        EXPECT_EQ(line.rfind("ICTR-DSM ", 0), 0u) << line;
        EXPECT_NE(line.find("throwIllArgException"), std::string::npos) << line;
    }
    // Each argument exception and each missing pool (one step per round) was
    // explained with its translation.
    EXPECT_EQ(g_translated.load() - translated_before, total + kThreads * kRounds);
}

// The same threads while the service is killed and started again twice, then
// stalled for longer than a call may take: every step back within its bound,
// and every step that ran with the service up and undisturbed succeeds.
TEST_F(Concurrency, EightThreadsSurviveKillsAndAStallOfTheService) {
    const Report report = outage(service(), kThreads, kCallTimeoutMs,
                                 {{Disturbance::kKill, 1000, 500},
                                  {Disturbance::kKill, 1500, 500},
                                  {Disturbance::kStall, 1500, kCallTimeoutMs + 1000}},
                                 2000);
    EXPECT_TRUE(report.ok()) << report.summary();
    EXPECT_EQ(report.restarts, 2);
    EXPECT_EQ(report.stalls, 1);
    // Every worker's first undisturbed step after the start and after each
    // of the three recoveries was counted (and succeeded: report.ok()).
    EXPECT_EQ(report.first_after_restart, 4 * kThreads);
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // The bundled service (the peer here, not the subject) inherits these: in
    // a ThreadSanitizer build the ORB's uninstrumented reference counting
    // makes its value handling look racy.
    setenv("TSAN_OPTIONS", "report_bugs=0", 1);
    dsmtest::install_service_environment();
    return RUN_ALL_TESTS();
}
