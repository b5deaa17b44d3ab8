// GoogleTest entry for tests that need the Qt main thread: the task master delivers rows
// and worker ends through the application's event loop.
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
