// Process-wide settings: logger and locale, ORB choice, EMM and master
// server names from the product configuration, database mode, service
// context and the registration switch. The tests run in order: the names
// are read from the configuration at most once while a read succeeds.
#include "LogCapture.h"

#include "Orb.h"
#include "dsmlib_internal.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

std::string write_config(const std::string& contents) {
    static char path[] = "/tmp/dsm-settings-XXXXXX";
    static int fd = mkstemp(path);
    (void)fd;
    std::ofstream(path, std::ios::trunc) << contents;
    setenv("KDCONF_FILE", path, 1);
    return path;
}

void capture_line(int, const char*, const char*, const char*, const char*, int) {}

const char* kFailedConfig = "Failed to load Keldra configuration (xq.conf)";

}  // namespace

TEST(Settings, MissingOrMalformedConfigurationGivesNullAndSaysSo) {
    setenv("KDCONF_FILE", "/nonexistent/dsm/xq.conf", 1);
    LogCapture capture;
    EXPECT_EQ(dsmlib_get_emmserver(), nullptr);
    EXPECT_TRUE(capture.has(kFailedConfig, DSM_SEV_FATAL, "dsmlib_set_emmserver")) << capture.dump();

    const char* master = dsmlib_get_masterserver();
    ASSERT_NE(master, nullptr);
    EXPECT_STREQ(master, "");
    EXPECT_EQ(capture.exactly(kFailedConfig).size(), 2u) << "the master read tries the file again";

    write_config("EMM_SERVER = emm1\nthis line is not a setting\n");
    EXPECT_EQ(dsmlib_set_emmserver(nullptr), nullptr);
    EXPECT_EQ(capture.exactly(kFailedConfig).size(), 3u);
}

TEST(Settings, ServerNamesComeFromTheConfigurationOnce) {
    write_config("# product configuration\nEMM_SERVER = emm1.example.test\n"
                 "SERVER = master1.example.test\nSERVER = media2.example.test\n");
    LogCapture capture;
    EXPECT_STREQ(dsmlib_get_emmserver(), "emm1.example.test");
    EXPECT_STREQ(dsmlib_get_masterserver(), "master1.example.test");
    EXPECT_TRUE(capture.has("EMM server set to emm1.example.test", DSM_SEV_PROGRESS, "dsmlibp_emmserver"));
    EXPECT_TRUE(capture.has("Master server set to master1.example.test", DSM_SEV_PROGRESS,
                            "dsmlibp_masterserver"));

    // Once set, the names are not read again.
    write_config("EMM_SERVER = other\nSERVER = other\n");
    EXPECT_STREQ(dsmlib_get_emmserver(), "emm1.example.test");
    EXPECT_STREQ(dsmlib_get_masterserver(), "master1.example.test");
}

TEST(Settings, ExplicitEmmServerIsCutTo255Characters) {
    const std::string longname(300, 'e');
    const char* stored = dsmlib_set_emmserver(longname.c_str());
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(std::string(stored), longname.substr(0, 255));
    EXPECT_EQ(dsmlib_get_emmserver(), stored);
    EXPECT_STREQ(dsmlib_set_emmserver("emm2"), "emm2");
}

TEST(Settings, LoggerAndLocale) {
    dsmlib_logger_t before = dsmlib_get_logger();
    ASSERT_NE(before, nullptr);
    EXPECT_EQ(dsmlib_set_logger(capture_line, "fr_FR.UTF-8"), before);
    const char* l1 = dsmlib_get_logger_locale();
    const char* l2 = dsmlib_get_logger_locale();
    EXPECT_STREQ(l1, "fr_FR.UTF-8");
    EXPECT_EQ(l1, l2) << "the caller's pointer is stored, not a copy";

    EXPECT_EQ(dsmlib_set_logger(nullptr, nullptr), capture_line);
    EXPECT_NE(dsmlib_get_logger(), nullptr);
    EXPECT_NE(dsmlib_get_logger(), capture_line);
    EXPECT_STREQ(dsmlib_get_logger_locale(), std::setlocale(LC_ALL, nullptr));
}

TEST(Settings, DatabaseModeConverts) {
    for (int mode : {0, 1, 2}) {
        CORBA::Long out = -1;
        EXPECT_EQ(dsmlibp_db_mode(mode, &out), 0);
        EXPECT_EQ(out, mode);
    }
    LogCapture capture;
    CORBA::Long out = 42;
    EXPECT_EQ(dsmlibp_db_mode(3, &out), DSM_E_INVALID_ARG);
    EXPECT_EQ(out, 42);
    EXPECT_EQ(dsmlibp_db_mode(-1, &out), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("Unknown dsm_dbmode (dbmode=3)", DSM_SEV_ERROR, "dsmlibp_db_mode"));
    EXPECT_TRUE(capture.has("Unknown dsm_dbmode (dbmode=-1)", DSM_SEV_ERROR, "dsmlibp_db_mode"));
}

TEST(Settings, ServiceContextKeepsTheStoredFunction) {
    EXPECT_EQ(dsmlibp_DSM_context(), &dsmlibp_default_narrow);
    auto mine = [](void*) -> void* { return nullptr; };
    dsmlib_set_DSM_context(mine);
    dsmlib_set_DSM_context(nullptr);
    EXPECT_EQ(dsmlibp_DSM_context(), static_cast<dsmlib_DSM_context_t>(mine));
    EXPECT_EQ(dsmlibp_default_narrow(nullptr), nullptr);
}

TEST(Settings, ExternalOrbIsKeptAndRegistrationCanBeSkipped) {
    static Orb external(false, "", "", false, 1024);  // the library keeps the pointer
    LogCapture capture;
    EXPECT_EQ(dsmlib_set_orb(&external), &external);
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_EQ(capture.lines()[0].text.rfind("Using external orb 0x", 0), 0u);
    EXPECT_EQ(capture.lines()[0].function, "dsmlibp_get_orb");

    capture.clear();
    EXPECT_EQ(dsmlib_set_orb(nullptr), &external);
    EXPECT_TRUE(capture.lines().empty()) << capture.dump();

    EXPECT_FALSE(dsmlib_set_noOBVregistration());
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_EQ(capture.lines()[0].text.rfind("Skipping registration of OBV factories with orb 0x", 0), 0u);
    EXPECT_FALSE(dsmlibp_register_factories(true)) << "already marked registered";
    EXPECT_TRUE(capture.containing("Registerd").empty());
}

// The version the library reports is the project's one version, and the
// header's macros agree with it.
TEST(Settings, VersionComesFromTheProjectVersion) {
    EXPECT_STREQ(dsmlib_version(), DSM_PROJECT_VERSION);
    EXPECT_STREQ(DSM_VERSION_STRING, DSM_PROJECT_VERSION);
    const std::string composed = std::to_string(DSM_VERSION_MAJOR) + "." + std::to_string(DSM_VERSION_MINOR) + "." +
                                 std::to_string(DSM_VERSION_PATCH);
    EXPECT_EQ(composed, DSM_PROJECT_VERSION);
}
