// The catalog store and the device mappings: records read from the files an
// administrator writes, not-found and read errors, and lists released.
#include "kdcatalog.h"
#include "kdmappings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

class Catalog : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/dsm_catalog_XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        dir_ = templ;
        write("xq.conf", "CATALOG_DIR = " + dir_ + "\nSERVER = master1\nSERVER = media1\n");
        setenv("KDCONF_FILE", (dir_ + "/xq.conf").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("KDCONF_FILE");
        std::system(("rm -rf '" + dir_ + "'").c_str());
    }
    void write(const char* file, const std::string& text) { std::ofstream(dir_ + "/" + file) << text; }
    std::string dir_;
};

// What the records hold is read back through the fast backup checks.
TEST_F(Catalog, ReadErrorsAndReleases) {
    STGROUP g;
    db_initSTGROUP(&g, 1);
    EXPECT_EQ(db_getSTGROUP("g1", &g), KDCAT_NOT_FOUND) << "no file: an empty catalog";
    write("stgroups", "name=g1 selection_method=3 members=stu1,stu2,stu3\nname=bad selection_method=x\n");
    ASSERT_EQ(db_getSTGROUP("g1", &g), 0);
    db_STGROUPfree(&g);
    EXPECT_EQ(g.members, nullptr);
    EXPECT_EQ(db_getSTGROUP("bad", &g), KDCAT_DB_ERROR) << "not a number";

    write("policies", "name=broken schedule=nocolon\n");
    CLASS c;
    EXPECT_EQ(db_getCLASS(&c, "broken"), KDCAT_DB_ERROR);
    // A line that is not key=value makes the whole file unreadable.
    write("stunits", "name=stu1 type=6\nthis is not a record\n");
    STUNIT_REC u;
    db_initSTUNIT_REC(&u, 1);
    EXPECT_EQ(db_getSTUNIT("nosuch", &u), KDCAT_DB_ERROR);
    write("xq.conf", "SERVER = master1\n");
    EXPECT_EQ(db_getSTUNIT("stu1", &u), KDCAT_DB_ERROR) << "no catalog directory";
}

TEST_F(Catalog, DeviceMappingsThatDoNotParseAreRefused) {
    const std::string path = dir_ + "/maps";
    write("maps", "ELP\n");
    int status = 0;
    EXPECT_EQ(InitializeMappings_C_(&status, path.c_str()), nullptr);
    EXPECT_EQ(status, EINVAL);
}

}  // namespace
