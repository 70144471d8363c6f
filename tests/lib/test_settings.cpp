// Process-wide settings: logger and locale, ORB choice, EMM and master
// server names from the product configuration, database mode, service
// context and the registration switch. The tests run in order: the names
// are read from the configuration at most once while a read succeeds.
#include "LogCapture.h"

#include "Orb.h"
#include "dsmlib_internal.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

void write_config(const std::string& contents) {
    static char path[] = "/tmp/dsm-settings-XXXXXX";
    [[maybe_unused]] static const int fd = mkstemp(path);  // once per process
    std::ofstream(path, std::ios::trunc) << contents;
    setenv("KDCONF_FILE", path, 1);
}

void capture_line(int, const char*, const char*, const char*, const char*, int) {}

const char* kFailedConfig = "Failed to load Keldra configuration (xq.conf)";

}  // namespace

TEST(Settings, MissingOrMalformedConfigurationGivesNullAndSaysSo) {
    setenv("KDCONF_FILE", "/nonexistent/dsm/xq.conf", 1);
    LogCapture capture;
    EXPECT_EQ(dsmlib_get_emmserver(), nullptr);
    EXPECT_TRUE(capture.has(kFailedConfig, DSM_SEV_FATAL, "dsmlib_set_emmserver")) << capture.dump();

    EXPECT_STREQ(dsmlib_get_masterserver(), "");
    EXPECT_EQ(capture.exactly(kFailedConfig).size(), 2u) << "the master read tries the file again";

    write_config("EMM_SERVER = 127.0.0.1\nthis line is not a setting\n");
    EXPECT_EQ(dsmlib_set_emmserver(nullptr), nullptr);
    EXPECT_EQ(capture.exactly(kFailedConfig).size(), 3u);
}

TEST(Settings, ServerNamesComeFromTheConfigurationOnceUnlessSet) {
    // Loopback by three spellings, so that each value shows where it came from.
    write_config("# product configuration\nEMM_SERVER = 127.1\nSERVER = 127.0.0.1\nSERVER = 127.0.1\n");
    LogCapture capture;
    EXPECT_STREQ(dsmlib_get_emmserver(), "127.1");
    EXPECT_STREQ(dsmlib_get_masterserver(), "127.0.0.1");
    EXPECT_TRUE(capture.has("EMM server set to 127.1", DSM_SEV_PROGRESS, "dsmlibp_emmserver"));
    EXPECT_TRUE(capture.has("Master server set to 127.0.0.1", DSM_SEV_PROGRESS, "dsmlibp_masterserver"));

    // Once set, the names are not read again; an explicit EMM server replaces
    // the name, cut to 255 characters.
    write_config("EMM_SERVER = 127.0.1\nSERVER = 127.0.1\n");
    EXPECT_STREQ(dsmlib_get_emmserver(), "127.1");
    EXPECT_STREQ(dsmlib_get_masterserver(), "127.0.0.1");
    const std::string longname(300, 'e');
    const char* stored = dsmlib_set_emmserver(longname.c_str());
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(std::string(stored), longname.substr(0, 255));
    EXPECT_EQ(dsmlib_get_emmserver(), stored);
    EXPECT_STREQ(dsmlib_set_emmserver("127.0.0.1"), "127.0.0.1");
}

TEST(Settings, LoggerAndLocale) {
    dsmlib_logger_t before = dsmlib_get_logger();
    ASSERT_NE(before, nullptr);
    const char* locale = "fr_FR.UTF-8";
    EXPECT_EQ(dsmlib_set_logger(capture_line, locale), before);
    EXPECT_EQ(dsmlib_get_logger_locale(), locale) << "the caller's pointer is stored, not a copy";

    EXPECT_EQ(dsmlib_set_logger(nullptr, nullptr), capture_line);
    EXPECT_NE(dsmlib_get_logger(), nullptr);
    EXPECT_NE(dsmlib_get_logger(), capture_line);
    EXPECT_STREQ(dsmlib_get_logger_locale(), std::setlocale(LC_ALL, nullptr));
}

// Modes 0 to 2 convert; others are refused and leave the output (the
// message is checked in test_helper.cpp).
TEST(Settings, DatabaseModeConvertsOrIsRefused) {
    for (int mode : {-1, 0, 1, 2, 3}) {
        CORBA::Long out = 42;
        const bool known = mode >= 0 && mode <= 2;
        EXPECT_EQ(dsmlibp_db_mode(mode, &out), known ? 0 : DSM_E_INVALID_ARG) << mode;
        EXPECT_EQ(out, known ? mode : 42) << mode;
    }
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
