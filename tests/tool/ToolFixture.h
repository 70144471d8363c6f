// Base fixture of the tool tests that run against the bundled service.
#ifndef DSM_TESTS_TOOLFIXTURE_H
#define DSM_TESTS_TOOLFIXTURE_H

#include "PoolHelpers.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

namespace dsmtest {

class ToolTest : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        // The tool is the service's client; this process only reads back what
        // the service received, and its ORB needs the value factories for that.
        ASSERT_EQ(dsmlib_ping(), DSM_OK);
    }
};

}  // namespace dsmtest

#endif
