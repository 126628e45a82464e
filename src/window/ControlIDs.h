// Control IDs of the viewer window: each control carries its four-character
// signature and number (as its object name "brow:200" and as properties), so
// that code finds a control the way the window's design names it.
#pragma once

#include "platform/FourCharCode.h"

#include <QString>
#include <QWidget>

#include <cstdint>

struct ControlID {
    FourCharCode signature;
    int32_t id;
};

constexpr ControlID siteBrowserControlID{MakeFourCharCode("brow"), 200};
constexpr ControlID headBrowserControlID{MakeFourCharCode("brow"), 201};
constexpr ControlID descriptionControlID{MakeFourCharCode("usrp"), 200};
constexpr ControlID descFrameControlID{MakeFourCharCode("usrp"), 199};
constexpr ControlID vsplitControlID{MakeFourCharCode("Splt"), 200};
constexpr ControlID hsplitControlID{MakeFourCharCode("Splt"), 201};
constexpr ControlID findControlID{MakeFourCharCode("Popi"), 100};
constexpr ControlID transControlID{MakeFourCharCode("Popi"), 200};
constexpr ControlID ftextControlID{MakeFourCharCode("etxt"), 100};
constexpr ControlID dontFindControlID{MakeFourCharCode("icnb"), 100};
constexpr ControlID siteInfoControlID{MakeFourCharCode("stxt"), 200};
constexpr ControlID headInfoControlID{MakeFourCharCode("stxt"), 201};
constexpr ControlID statusControlID{MakeFourCharCode("stxt"), 100};
constexpr ControlID msoverControlID{MakeFourCharCode("stxt"), 101};
constexpr ControlID chasingControlID{MakeFourCharCode("prog"), 100};
constexpr ControlID progControlID{MakeFourCharCode("prog"), 101};
constexpr ControlID backControlID{MakeFourCharCode("icnb"), 200};
constexpr ControlID fwrdControlID{MakeFourCharCode("icnb"), 201};
constexpr ControlID stopControlID{MakeFourCharCode("icnb"), 202};
constexpr ControlID reloadControlID{MakeFourCharCode("icnb"), 203};
constexpr ControlID snapControlID{MakeFourCharCode("icnb"), 204};
constexpr ControlID qsubControlID{MakeFourCharCode("icnb"), 205};

// "brow:200".
QString ControlIDName(ControlID control);

// Gives `widget` its control ID.
void SetControlID(QWidget* widget, ControlID control);

// The control of `window` with that ID, or null.
QWidget* GetControlByID(const QWidget* window, ControlID control);

template <typename Widget>
Widget* GetControlByID(const QWidget* window, ControlID control)
{
    return qobject_cast<Widget*>(GetControlByID(window, control));
}
