// Diagnostic logging: composed texts in the classic locale, the logger
// fetched anew for each message, and the in-core trace ring.
#include "LogCapture.h"

#include "dsmlib_internal.h"
#include "dsmlib_log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <locale>
#include <regex>
#include <thread>
#include <vector>

namespace {

// A locale whose numbers group by thousands, as a caller's process may set.
struct Grouping : std::numpunct<char> {
    char do_thousands_sep() const override { return ','; }
    std::string do_grouping() const override { return "\3"; }
};

std::string slot(unsigned sequence) {
    return dsm::ictr_snapshot()[sequence % dsm::kTraceLines];
}

unsigned next_sequence() {
    unsigned next = 0;
    dsm::ictr_snapshot(&next);
    return next;
}

}  // namespace

TEST(Logging, MessagesUseTheClassicLocaleWhateverTheProcessSays) {
    const std::locale saved = std::locale::global(std::locale(std::locale::classic(), new Grouping));
    LogCapture capture;
    CORBA::Long out = 0;
    EXPECT_EQ(dsmlibp_db_mode(1234567, &out), DSM_E_INVALID_ARG);
    std::locale::global(saved);
    EXPECT_TRUE(capture.has("Unknown dsm_dbmode (dbmode=1234567)", DSM_SEV_ERROR, "dsmlibp_db_mode"))
        << capture.dump();
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_EQ(capture.lines()[0].source, "dsmlib_common");
    EXPECT_FALSE(capture.lines()[0].has_localized);
}

TEST(Logging, LoggerIsFetchedForEveryMessage) {
    CORBA::Long out = 0;
    {
        LogCapture first;
        dsmlibp_db_mode(7, &out);
        EXPECT_EQ(first.lines().size(), 1u);
    }
    // With the do-nothing logger installed the same call behaves the same.
    dsmlib_set_logger(nullptr, nullptr);
    EXPECT_EQ(dsmlibp_db_mode(7, &out), DSM_E_INVALID_ARG);
    LogCapture second;
    dsmlibp_db_mode(8, &out);
    ASSERT_EQ(second.lines().size(), 1u);
    EXPECT_EQ(second.lines()[0].text, "Unknown dsm_dbmode (dbmode=8)");
}

TEST(TraceRing, LineFormatTruncationAndNullTexts) {
    const unsigned seq = next_sequence();
    dsm::ictr_trace("DSM", "first-text-of-thirty-chars-xx", "second-text-of-thirty-chars", nullptr);
    char expected[128];
    std::snprintf(expected, sizeof expected, "ICTR-DSM  %5u <%s | %s | %16s>", seq,
                  "first-text-of-thirty-cha", "second-text-of-t", "NULL");
    EXPECT_EQ(slot(seq), expected);
    EXPECT_EQ(slot(seq).size(), 80u) << "a line fills its 81-byte slot with the terminator";
}

TEST(TraceRing, OverwritesAfter128AndWrapsTheSequenceAt65536) {
    // Move to the start of a fresh round of the ring.
    while (next_sequence() % dsm::kTraceLines != 0) dsm::ictr_trace("T", "pad", "", "");
    const unsigned base = next_sequence();
    for (int i = 0; i <= dsm::kTraceLines; ++i) dsm::ictr_trace("T", "round", "", "");
    // The 129th line went into the first slot.
    EXPECT_NE(slot(base).find(std::to_string(base + dsm::kTraceLines) + " <"), std::string::npos)
        << slot(base);

    while (next_sequence() != 0) dsm::ictr_trace("T", "wrap", "", "");
    dsm::ictr_trace("T", "after-wrap", "", "");
    EXPECT_EQ(slot(0).substr(0, 17), "ICTR-T        0 <") << slot(0);
    EXPECT_EQ(next_sequence(), 1u);
}

TEST(TraceRing, ConcurrentWritersKeepEveryLineWhole) {
    constexpr int kThreads = 8;
    constexpr int kPerThread = 2000;
    const unsigned start = next_sequence();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            const std::string name = "thread-" + std::to_string(t);
            for (int i = 0; i < kPerThread; ++i) dsm::ictr_trace("MT", name.c_str(), "x", "y");
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(next_sequence(), (start + kThreads * kPerThread) % 65536);
    const std::regex whole(R"(ICTR-MT   +\d+ < +thread-[0-7] \| +x \| +y>)");
    for (const std::string& line : dsm::ictr_snapshot())
        EXPECT_TRUE(std::regex_match(line, whole)) << line;
}
