// Reads the keymap through libX11, loaded when first needed: the program
// then neither links X11 nor fails where there is none.
#include "tickerwindow/TickerKeys.h"

#include <QGuiApplication>

#include <dlfcn.h>

namespace {

using XOpenDisplayProc = void* (*)(const char*);
using XQueryKeymapProc = int (*)(void*, char[32]);
using XKeysymToKeycodeProc = unsigned char (*)(void*, unsigned long);

constexpr unsigned long kKeysymF7 = 0xFFC4;
constexpr unsigned long kKeysymF8 = 0xFFC5;
constexpr int kKeymapBytes = 32;

struct X11Keys {
    void* display = nullptr;
    XQueryKeymapProc queryKeymap = nullptr;
    unsigned char keycodeF7 = 0;
    unsigned char keycodeF8 = 0;
};

const X11Keys& GetX11Keys()
{
    static X11Keys keys = [] {
        X11Keys loaded;
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            return loaded;
        void* library = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
        if (!library)
            return loaded;
        auto openDisplay = reinterpret_cast<XOpenDisplayProc>(dlsym(library, "XOpenDisplay"));
        auto toKeycode = reinterpret_cast<XKeysymToKeycodeProc>(dlsym(library, "XKeysymToKeycode"));
        loaded.queryKeymap = reinterpret_cast<XQueryKeymapProc>(dlsym(library, "XQueryKeymap"));
        if (!openDisplay || !toKeycode || !loaded.queryKeymap)
            return loaded;
        loaded.display = openDisplay(nullptr);
        if (!loaded.display)
            return loaded;
        loaded.keycodeF7 = toKeycode(loaded.display, kKeysymF7);
        loaded.keycodeF8 = toKeycode(loaded.display, kKeysymF8);
        return loaded;
    }();
    return keys;
}

} // namespace

bool IsFunctionKeyDown(TickerKey key)
{
    const X11Keys& keys = GetX11Keys();
    if (!keys.display)
        return false;
    unsigned char keycode = key == TickerKey::kF7 ? keys.keycodeF7 : keys.keycodeF8;
    if (keycode == 0)
        return false;
    char keymap[kKeymapBytes] = {};
    keys.queryKeymap(keys.display, keymap);
    return (keymap[keycode / 8] >> (keycode % 8)) & 1;
}
