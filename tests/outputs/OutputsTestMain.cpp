#include <cstring>
#include <gtest/gtest.h>
#include <memory>

#ifdef VELK_HOST_HAS_QT_OUTPUTS
#include <QCoreApplication>
#endif

// The webhooks' network and the notifications' bus need an application object on the main
// thread; listing the tests needs none.
int main(int argc, char** argv)
{
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
#ifdef VELK_HOST_HAS_QT_OUTPUTS
    std::unique_ptr<QCoreApplication> app;
    if (!listing)
        app = std::make_unique<QCoreApplication>(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
