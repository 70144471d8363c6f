// The host layer as the library uses it: bounded strings, the message catalogue
// with argument lists, and the log sink.
#include "KDLogger.h"
#include "brnwlog.h"
#include "kdbase.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Line {
    std::string channel, function, text;
    int level;
};
std::vector<Line> g_lines;
void capture(const char* channel, int level, const char* function, const char* text) {
    g_lines.push_back({channel, function ? function : "", text, level});
}

// Appends a new argument cell that 'fill' sets.
template <class Fill>
void add_arg(brnwLis_t** args, Fill fill) {
    auto* a = static_cast<brnwLisAny_t*>(std::calloc(1, sizeof(brnwLisAny_t)));
    ASSERT_GE(fill(a), 0);
    ASSERT_LE(brnwLisAddArg(args, a), 1);
}

}  // namespace

TEST(HostStrings, BoundedCopiesAlwaysTerminate) {
    char small[4];
    EXPECT_EQ(V_strlcpy(small, "abcdef", sizeof small), 6u);
    EXPECT_STREQ(small, "abc");
    EXPECT_EQ(V_strlncpy(small, "abcdef", 2, sizeof small), 2u);
    EXPECT_STREQ(small, "ab");
    EXPECT_EQ(V_strlncpy(small, "abcdef", 10, sizeof small), 3u);
    EXPECT_STREQ(small, "abc");
    EXPECT_EQ(V_snprintf(small, sizeof small, "%d-%s", 42, "zz"), 5);
    EXPECT_STREQ(small, "42-");
}

TEST(HostCatalogue, TranslatesWithArgumentsInEnglishOnly) {
    brnwLis_t* args = nullptr;
    add_arg(&args, [](brnwLisAny_t* a) { return brnwLisAny_string(a, "createDiskGroup"); });
    add_arg(&args, [](brnwLisAny_t* a) { return brnwLisAny_string(a, "no such pool"); });
    add_arg(&args, [](brnwLisAny_t* a) { return brnwLisAny_int(a, -7); });
    add_arg(&args, [](brnwLisAny_t* a) { return brnwLisAny_longlong(a, 9223372036854775807LL); });
    char out[256];
    ASSERT_EQ(xlatemsg(1, args, 178, out, sizeof out, "C"), 0);
    EXPECT_STREQ(out, "Disk service exception in createDiskGroup: no such pool (error domain -7, "
                      "error code 9223372036854775807)");
    char tiny[10];
    ASSERT_EQ(xlatemsg(1, args, 178, tiny, sizeof tiny, "en_US.UTF-8"), 0);
    EXPECT_STREQ(tiny, "Disk serv");
    EXPECT_NE(xlatemsg(1, args, 1, out, sizeof out, "C"), 0) << "no such originator";
    brnwLisFree(args);
}

// Application messages are composed from the catalogue.
TEST(HostLog, ApplicationMessagesReachTheSinkTranslated) {
    g_lines.clear();
    kdhost_set_log_sink(capture);
    KDLogger logger(178);
    ASSERT_NE(logger.handle(), nullptr);
    brnwLogMsg_t* msg = nullptr;
    ASSERT_EQ(brnwLogInitMsg(&msg, logger.handle(), 4, 0), 0);
    brnwLis_t* args = nullptr;
    add_arg(&args, [](brnwLisAny_t* a) { return brnwLisAny_string(a, "pool7"); });
    ASSERT_EQ(brnwLogSetAppAttr(msg, 8, args), 0);
    ASSERT_EQ(brnwLogMsg(logger.handle(), 0, msg), 0);
    EXPECT_STREQ(brnwLogMsgText(msg), "pool7 was not found");
    brnwLogFreeMsg(msg);
    ASSERT_EQ(g_lines.size(), 1u);
    EXPECT_EQ(g_lines[0].channel, "app");
    EXPECT_EQ(g_lines[0].text, "pool7 was not found");
    kdhost_set_log_sink(nullptr);
}
