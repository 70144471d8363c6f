// main() of the test binaries that need the bundled service.
#include "ServiceFixture.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    dsmtest::install_service_environment();
    return RUN_ALL_TESTS();
}
