// The main of the test programs that have none of their own: the program answers ssh's
// prompts (see session/ssh_helper.h) before it runs the tests.
#include <gtest/gtest.h>

#include "session/ssh_helper.h"

int main(int argc, char** argv) {
    if (const auto helper = RunSshHelper(argc, argv)) {
        return *helper;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
