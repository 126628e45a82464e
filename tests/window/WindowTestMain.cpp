// Entry point of the window tests: a widget application on the offscreen
// platform, the web view's plain stand-in, and no proxy from the environment.
#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("VARNOKE_WEBVIEW", "off", 0);
    for (const char* variable : {"http_proxy", "HTTP_PROXY", "no_proxy", "NO_PROXY"})
        unsetenv(variable);
    setenv("QT_LOGGING_RULES", "qt.webenginecontext.info=false", 0);
    // The web view's test needs this before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
