// Entry point of the viewer tests: an application object for the event loop
// (worker tasks, timers, sockets), no proxy from the environment, and no
// desktop needed.
#include <QCoreApplication>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    for (const char* variable : {"http_proxy", "HTTP_PROXY", "no_proxy", "NO_PROXY"})
        unsetenv(variable);
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
