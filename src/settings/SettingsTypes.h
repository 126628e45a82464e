// The small value types that the settings records and the window positions
// share with their callers: a 16-bit RGB colour and a rectangle of four
// 16-bit edges in screen coordinates.
#pragma once

#include <cstdint>

// Each component 0-65535.
struct RGBColor {
    uint16_t red = 0;
    uint16_t green = 0;
    uint16_t blue = 0;

    friend bool operator==(const RGBColor&, const RGBColor&) = default;
};

// A window's bounds in global (screen) coordinates.
struct Rect {
    int16_t top = 0;
    int16_t left = 0;
    int16_t bottom = 0;
    int16_t right = 0;

    friend bool operator==(const Rect&, const Rect&) = default;
};
