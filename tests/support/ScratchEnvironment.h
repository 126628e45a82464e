// The environment of a real Varnoke run kept to a scratch home, shared by the
// end-to-end tests and the start-up benchmark.
#pragma once

#include <QProcessEnvironment>
#include <QString>

// The system's environment with the XDG folders under `home`, an offscreen
// display, and the preset feeds sent to a proxy that is not there, so that
// no run reaches beyond this machine; 127.0.0.1 is asked directly.
inline QProcessEnvironment ScratchEnvironment(const QString& home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home);
    environment.insert("XDG_CONFIG_HOME", home + "/.config");
    environment.insert("XDG_DATA_HOME", home + "/.local/share");
    environment.insert("XDG_CACHE_HOME", home + "/.cache");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("http_proxy", "127.0.0.1:9");
    environment.insert("no_proxy", "127.0.0.1");
    environment.remove("HTTP_PROXY");
    environment.remove("NO_PROXY");
    return environment;
}
