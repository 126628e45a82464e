// The widget tests' main: the offscreen platform unless a display is asked
// for, and a scratch home so that no test reads or writes the user's files.
#include "settings/Environs.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QTemporaryDir home;
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        setenv(variable, (home.path() + "/" + variable).toLocal8Bit().constData(), 1);
    QApplication application(argc, argv);
    InitEnvirons();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
