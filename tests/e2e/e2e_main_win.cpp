// The end-to-end tests run on their own Wine virtual desktop, together with the programs they
// start, so that window searches see the programs and screenshots show them.
#include <gtest/gtest.h>

#include <cstring>

#include "e2e_harness_win.h"

int main(int argc, char** argv) {
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0)
            listing = true;
    if (!listing && !tarn::e2e::EnterTestDesktop()) {
        std::fprintf(stderr, "cannot create the test desktop\n");
        return 1;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
