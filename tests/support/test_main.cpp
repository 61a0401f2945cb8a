#include <gtest/gtest.h>

#include "test_support.h"

int main(int argc, char** argv) {
    // Before anything logs: the log goes to this process's own temporary folder.
    testsupport::UsePrivateTempFolder();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
