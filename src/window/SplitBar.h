// The split bars between the viewer's panes: a thin bar with a ridge mark
// that the user drags. While dragging only a line follows the mouse, kept
// within the window's limits; on release the bar takes the final position
// and sends 'AdjW', or its zoom command when it did not move.
#pragma once

#include "platform/FourCharCode.h"
#include "viewer/WindowLayout.h"

#include <QWidget>

class QRubberBand;

class SplitBar : public QWidget {
    Q_OBJECT
public:
    SplitBar(SplitType type, QWidget* parent);

    SplitType Type() const { return m_type; }
    // The bar's position in its parent: x for the vertical bar, y for the
    // horizontal one.
    int Value() const { return m_value; }
    void SetValue(int value) { m_value = value; }

signals:
    void commandSent(FourCharCode command);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int PositionOf(QMouseEvent* event) const;
    void ShowLine(int position);

    SplitType m_type;
    int m_value = 0;
    int m_dragStart = -1; // the value when the press came; -1 while no drag runs
    int m_dragPosition = 0;
    QRubberBand* m_line = nullptr;
};
