#include <QApplication>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

// The windows need an application object; the platform plugin comes from the test's
// environment (offscreen under CTest). Listing the tests needs no windows, and test discovery
// runs without that environment.
int main(int argc, char** argv)
{
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
    std::unique_ptr<QApplication> app;
    if (!listing)
        app = std::make_unique<QApplication>(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
