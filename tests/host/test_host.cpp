// The host layer: configuration file, bounded strings, message catalogue,
// argument lists and the log sink.
#include "KDLogger.h"
#include "brnwlog.h"
#include "kdbase.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Points the host layer at a configuration file of the test's own.
class ConfigFile {
public:
    explicit ConfigFile(const std::string& text) {
        path_ = ::testing::TempDir() + "host_tests_" + std::to_string(++serial_) + ".conf";
        std::ofstream(path_) << text;
        setenv("KDCONF_FILE", path_.c_str(), 1);
    }
    ~ConfigFile() {
        unsetenv("KDCONF_FILE");
        std::remove(path_.c_str());
    }
    ConfigFile(const ConfigFile&) = delete;
    ConfigFile& operator=(const ConfigFile&) = delete;

private:
    static inline int serial_ = 0;
    std::string path_;
};

struct Line {
    std::string channel, function, text;
    int level;
};
std::vector<Line> g_lines;
void capture(const char* channel, int level, const char* function, const char* text) {
    g_lines.push_back({channel, function ? function : "", text, level});
}

brnwLisAny_t* cell() { return static_cast<brnwLisAny_t*>(std::calloc(1, sizeof(brnwLisAny_t))); }

}  // namespace

TEST(HostConfig, ReadsServersInOrderAndRejectsMalformedFiles) {
    {
        ConfigFile f("# product configuration\n\nEMM_SERVER = emm.example\nSERVER = master1\n"
                     "  SERVER=media2  \nOTHER = a value with spaces\n");
        kdconf_info_t* info = nullptr;
        ASSERT_EQ(kdconf_get_info(&info), 0);
        ASSERT_NE(info, nullptr);
        EXPECT_STREQ(info->emm_server, "emm.example");
        ASSERT_EQ(info->num_servers, 2);
        EXPECT_STREQ(info->servers[0], "master1");
        EXPECT_STREQ(info->servers[1], "media2");
        kdconf_free_info(&info);
        EXPECT_EQ(info, nullptr);
        kdconf_free_info(&info);  // no-op on null

        char buf[8];
        ASSERT_EQ(kdconf_get_value("OTHER", buf, sizeof buf), 0);
        EXPECT_STREQ(buf, "a value") << "bounded and terminated";
        EXPECT_NE(kdconf_get_value("MISSING", buf, sizeof buf), 0);
        EXPECT_STREQ(getTornelString("EMM_SERVER"), "emm.example");
        EXPECT_EQ(getTornelString("MISSING"), nullptr);
    }
    {
        ConfigFile f("SERVER = ok\nthis line has no equals sign\n");
        kdconf_info_t* info = reinterpret_cast<kdconf_info_t*>(0x1);
        EXPECT_NE(kdconf_get_info(&info), 0);
        EXPECT_EQ(info, nullptr);
    }
    setenv("KDCONF_FILE", "/nonexistent/dir/xq.conf", 1);
    kdconf_info_t* info = nullptr;
    EXPECT_NE(kdconf_get_info(&info), 0);
    EXPECT_EQ(info, nullptr);
    EXPECT_STREQ(kdconf_path(), "/nonexistent/dir/xq.conf");
    unsetenv("KDCONF_FILE");
    EXPECT_STREQ(kdconf_path(), KDCONF_DEFAULT_PATH);
}

TEST(HostStrings, BoundedCopiesAlwaysTerminate) {
    char small[4];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(V_strlcpy(small, "abcdef", sizeof small), 6u);
    EXPECT_STREQ(small, "abc");
    EXPECT_EQ(V_strlcpy(small, "", sizeof small), 0u);
    EXPECT_STREQ(small, "");

    EXPECT_EQ(V_strlncpy(small, "abcdef", 2, sizeof small), 2u);
    EXPECT_STREQ(small, "ab");
    EXPECT_EQ(V_strlncpy(small, "abcdef", 10, sizeof small), 3u);
    EXPECT_STREQ(small, "abc");

    EXPECT_EQ(V_snprintf(small, sizeof small, "%d-%s", 42, "zz"), 5);
    EXPECT_STREQ(small, "42-");
    small[0] = 'q';
    V_strlcpy(small, "abc", 0);  // no room: nothing written
    EXPECT_EQ(small[0], 'q');
}

TEST(HostCatalogue, TranslatesWithArgumentsInEnglishOnly) {
    brnwLis_t* args = nullptr;
    brnwLisAny_t* a = cell();
    ASSERT_GE(brnwLisAny_string(a, "createDiskGroup"), 0);
    ASSERT_LE(brnwLisAddArg(&args, a), 1);
    a = cell();
    ASSERT_GE(brnwLisAny_string(a, "no such pool"), 0);
    ASSERT_LE(brnwLisAddArg(&args, a), 1);
    a = cell();
    ASSERT_GE(brnwLisAny_int(a, -7), 0);
    ASSERT_LE(brnwLisAddArg(&args, a), 1);
    a = cell();
    ASSERT_GE(brnwLisAny_longlong(a, 9223372036854775807LL), 0);
    ASSERT_LE(brnwLisAddArg(&args, a), 1);
    ASSERT_EQ(brnwLisCount(args), 4);
    char text[64];
    ASSERT_EQ(brnwLisArgText(args, 3, text, sizeof text), 19) << "the length of the text";
    EXPECT_STREQ(text, "9223372036854775807");
    EXPECT_EQ(brnwLisArgText(args, 4, text, sizeof text), 0);
    EXPECT_STREQ(text, "") << "past the end";

    char out[256];
    ASSERT_EQ(xlatemsg(1, args, 178, out, sizeof out, "C"), 0);
    EXPECT_STREQ(out, "Disk service exception in createDiskGroup: no such pool (error domain -7, "
                      "error code 9223372036854775807)");
    char tiny[10];
    ASSERT_EQ(xlatemsg(1, args, 178, tiny, sizeof tiny, "en_US.UTF-8"), 0);
    EXPECT_STREQ(tiny, "Disk serv");

    EXPECT_NE(xlatemsg(1, args, 178, out, sizeof out, "de_DE.UTF-8"), 0) << "no German catalogue";
    EXPECT_NE(xlatemsg(9999, args, 178, out, sizeof out, "C"), 0) << "no such message";
    EXPECT_NE(xlatemsg(1, args, 1, out, sizeof out, "C"), 0) << "no such originator";
    brnwLisFree(args);
    EXPECT_EQ(brnwLisCount(nullptr), 0);
}

TEST(HostLog, LinesReachTheSinkCutToTheirLimit) {
    g_lines.clear();
    kdhost_set_log_sink(capture);
    logmsg(16, std::string(5000, 'a').c_str(), "caller");
    ASSERT_EQ(g_lines.size(), 1u);
    EXPECT_EQ(g_lines[0].channel, "logmsg");
    EXPECT_EQ(g_lines[0].level, 16);
    EXPECT_EQ(g_lines[0].function, "caller");
    EXPECT_EQ(g_lines[0].text.size(), 2147u);

    KDLogger logger(178);
    ASSERT_NE(logger.handle(), nullptr);
    brnwLogMsg_t* msg = nullptr;
    EXPECT_NE(brnwLogInitMsg(&msg, nullptr, 0, 0), 0) << "a message needs a handle";
    ASSERT_EQ(brnwLogInitMsg(&msg, logger.handle(), 4, 0), 0);
    brnwLis_t* args = nullptr;
    brnwLisAny_t* a = cell();
    brnwLisAny_string(a, "pool7");
    brnwLisAddArg(&args, a);
    ASSERT_EQ(brnwLogSetAppAttr(msg, 8, args), 0);
    ASSERT_EQ(brnwLogMsg(logger.handle(), 0, msg), 0);
    EXPECT_STREQ(brnwLogMsgText(msg), "pool7 was not found");
    brnwLogFreeMsg(msg);
    ASSERT_EQ(g_lines.size(), 2u);
    EXPECT_EQ(g_lines[1].channel, "app");
    EXPECT_EQ(g_lines[1].text, "pool7 was not found");
    kdhost_set_log_sink(nullptr);

    EXPECT_NE(getECmsg(123456789), nullptr) << "unknown statuses still have a text";
}
