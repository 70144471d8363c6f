// The catalog store and the device mappings: records read from the files an
// administrator writes, not-found and read errors, and lists released.
#include "kdcatalog.h"
#include "kdmappings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class Catalog : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = ::testing::TempDir() + "catalog_" + std::to_string(getpid());
        mkdir(dir_.c_str(), 0700);
        conf_ = dir_ + "/xq.conf";
        std::ofstream(conf_) << "CATALOG_DIR = " << dir_ << "\nSERVER = master1\nSERVER = media1\n";
        setenv("KDCONF_FILE", conf_.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("KDCONF_FILE");
        for (const char* f : {"stunits", "stgroups", "slps", "policies", "policy_types", "xq.conf", "maps"})
            std::remove((dir_ + "/" + f).c_str());
        rmdir(dir_.c_str());
    }
    void write(const char* file, const std::string& text) { std::ofstream(dir_ + "/" + file) << text; }
    std::string dir_, conf_;
};

TEST_F(Catalog, RecordsComeFromTheFilesWithNotFoundAndReadErrors) {
    write("stunits", "# storage units\nname=stu1 type=6 sub_media_type=6 disk_pool=dp1\nname=tape type=2\n");
    STUNIT_REC u;
    db_initSTUNIT_REC(&u, 1);
    ASSERT_EQ(db_getSTUNIT("stu1", &u), 0);
    EXPECT_STREQ(u.name, "stu1");
    EXPECT_EQ(u.type, 6);
    EXPECT_EQ(u.sub_media_type, 6);
    EXPECT_STREQ(u.disk_pool, "dp1");
    EXPECT_EQ(db_getSTUNIT("tape", &u), 0);
    EXPECT_EQ(u.type, 2);
    EXPECT_STREQ(u.disk_pool, "");
    EXPECT_EQ(db_getSTUNIT("nosuch", &u), KDCAT_NOT_FOUND);
    STGROUP g;
    db_initSTGROUP(&g, 1);
    EXPECT_EQ(db_getSTGROUP("g1", &g), KDCAT_NOT_FOUND);  // no file: an empty catalog

    write("stgroups", "name=g1 selection_method=3 members=stu1,stu2,stu3\nname=bad selection_method=x\n");
    ASSERT_EQ(db_getSTGROUP("g1", &g), 0);
    ASSERT_EQ(g.num_members, 3);
    EXPECT_STREQ(g.members[2], "stu3");
    db_STGROUPfree(&g);
    EXPECT_EQ(g.members, nullptr);
    db_STGROUPfree(&g);  // twice is harmless
    EXPECT_EQ(db_getSTGROUP("bad", &g), KDCAT_DB_ERROR);

    write("slps", "name=slp1 operations=0:g1,3:stu9,0:\n");
    SS_REC s;
    db_initSS_REC(&s, 1);
    ASSERT_EQ(db_getStorageService("slp1", &s), 0);
    ASSERT_EQ(s.num_operations, 3);
    EXPECT_EQ(s.operations[1].type, 3);
    EXPECT_STREQ(s.operations[1].storage, "stu9");
    EXPECT_STREQ(s.operations[2].storage, "");
    db_freeSS_REC(&s);

    write("policies",
          "name=pol1 policy_type=13 fast_backup=1 client_encrypt=1 residences=stu1,*NULL* "
          "schedule=full:g1 schedule=incr:\n"
          "name=broken schedule=nocolon\n");
    CLASS c;
    ASSERT_EQ(db_getCLASS(&c, "pol1"), 0);
    ASSERT_NE(c.schedules, nullptr);
    EXPECT_STREQ(c.schedules->name, "full");
    EXPECT_EQ(c.schedules->num_residences, 1);
    ASSERT_NE(c.schedules->next, nullptr);
    EXPECT_EQ(c.schedules->next->num_residences, 0);
    EXPECT_EQ(c.schedules->next->next, nullptr);
    db_freeCLASS(&c);
    CLASS_ATTR a;
    ASSERT_EQ(db_getCLASS_ATTR(&a, "pol1"), 0);
    EXPECT_EQ(a.policy_type, 13);
    EXPECT_EQ(a.fast_backup, 1);
    EXPECT_EQ(a.client_encrypt, 1);
    ASSERT_EQ(a.num_residences, 2);
    EXPECT_STREQ(a.residence[1], "*NULL*");
    EXPECT_EQ(db_getCLASS(&c, "broken"), KDCAT_DB_ERROR);

    // A line that is not key=value makes the whole file unreadable.
    write("stunits", "name=stu1 type=6\nthis is not a record\n");
    EXPECT_EQ(db_getSTUNIT("nosuch", &u), KDCAT_DB_ERROR);
    // Without a catalog directory nothing can be read.
    std::ofstream(conf_) << "SERVER = master1\n";
    EXPECT_EQ(db_getSTUNIT("stu1", &u), KDCAT_DB_ERROR);
}

TEST_F(Catalog, PolicyTypeFeaturesAndMasterServer) {
    write("policy_types", "policy_type=0 features=0x48000000\npolicy_type=4 features=0x08000000\n");
    EXPECT_EQ(grey_boxes(0, 0x40000000, 0), 0x48000000u);
    EXPECT_EQ(grey_boxes(4, 0x40000000, 0), 0u);  // lacks the feature asked about
    EXPECT_EQ(grey_boxes(7, 0x40000000, 0), 0u);
    char master[257];
    ASSERT_EQ(db_getservernameEx(master, sizeof master), 0);
    EXPECT_STREQ(master, "master1");
    char tiny[4];
    EXPECT_EQ(db_getservernameEx(tiny, sizeof tiny), KDCAT_DB_ERROR);
}

TEST_F(Catalog, DeviceMappingsAnswerFeatureQueries) {
    const std::string path = dir_ + "/maps";
    int status = 0;
    EXPECT_EQ(InitializeMappings_C_(&status, path.c_str()), nullptr);
    EXPECT_EQ(status, ENOENT);
    std::ofstream(path) << "# storage type, server type, features\nELP AdvancedDisk rapidor\nELP PureDisk\n";
    kd_mappings_t* m = InitializeMappings_C_(&status, path.c_str());
    ASSERT_NE(m, nullptr);
    ExtendedAttrQuery q = {"ELP", "AdvancedDisk", "", KD_MAPPINGS_REQ_FEATURES, 0};
    EXPECT_NE(GetExtendedAttributes_C_(&q, m), 0);
    EXPECT_EQ(q.feature_rapidor, 1);
    ExtendedAttrQuery p = {"ELP", "PureDisk", "", KD_MAPPINGS_REQ_FEATURES, 1};
    EXPECT_NE(GetExtendedAttributes_C_(&p, m), 0);
    EXPECT_EQ(p.feature_rapidor, 0);
    ExtendedAttrQuery unknown = {"ELP", "Other", "", KD_MAPPINGS_REQ_FEATURES, 0};
    EXPECT_EQ(GetExtendedAttributes_C_(&unknown, m), 0);
    ExtendedAttrQuery wrong_request = {"ELP", "AdvancedDisk", "", 3, 0};
    EXPECT_EQ(GetExtendedAttributes_C_(&wrong_request, m), 0);
    FreeMappings_C_(m);
    std::ofstream(path) << "ELP\n";
    EXPECT_EQ(InitializeMappings_C_(&status, path.c_str()), nullptr);
    EXPECT_EQ(status, EINVAL);
}

}  // namespace
