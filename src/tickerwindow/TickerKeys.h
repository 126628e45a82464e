// The state of the ticker's function keys, read from the X server's keymap
// so that F7 and F8 work while another program has the focus. Without an X
// display (Wayland without XWayland, the offscreen platform) they read as up.
#pragma once

#include "ticker/Ticker.h"

bool IsFunctionKeyDown(TickerKey key);
