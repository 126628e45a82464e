// Control IDs as object names and properties of the window's widgets.
#include "window/ControlIDs.h"

QString ControlIDName(ControlID control)
{
    return QString::fromStdString(FourCharCodeToString(control.signature)) + QLatin1Char(':')
           + QString::number(control.id);
}

void SetControlID(QWidget* widget, ControlID control)
{
    if (!widget)
        return;
    widget->setObjectName(ControlIDName(control));
    widget->setProperty("controlSignature", QString::fromStdString(FourCharCodeToString(control.signature)));
    widget->setProperty("controlNumber", control.id);
}

QWidget* GetControlByID(const QWidget* window, ControlID control)
{
    if (!window)
        return nullptr;
    return window->findChild<QWidget*>(ControlIDName(control));
}
