// Drawing and tracking of the split bars.
#include "window/SplitBar.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>

constexpr int kRidgeGap = 3;

SplitBar::SplitBar(SplitType type, QWidget* parent)
    : QWidget(parent)
    , m_type(type)
{
    setCursor(type == SplitType::kVertical ? Qt::SplitHCursor : Qt::SplitVCursor);
    setFocusPolicy(Qt::NoFocus);
}

void SplitBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QColor ridge = palette().color(QPalette::Mid);
    painter.setPen(ridge);
    // The ridge: three short lines across the bar's middle.
    QPoint middle = rect().center();
    for (int step = -1; step <= 1; ++step) {
        switch (m_type) {
        case SplitType::kVertical: {
            int y = middle.y() + step * kRidgeGap;
            painter.drawLine(QPoint(1, y), QPoint(width() - 2, y));
            break;
        }
        case SplitType::kHorizontal: {
            int x = middle.x() + step * kRidgeGap;
            painter.drawLine(QPoint(x, 2), QPoint(x, height() - 3));
            break;
        }
        }
    }
}

int SplitBar::PositionOf(QMouseEvent* event) const
{
    QWidget* window = parentWidget();
    QPoint point = window->mapFromGlobal(event->globalPosition().toPoint());
    int position = m_type == SplitType::kVertical ? point.x() : point.y();
    return LimitSplitPosition(m_type, position, window->width(), window->height());
}

void SplitBar::ShowLine(int position)
{
    QWidget* window = parentWidget();
    if (!m_line)
        m_line = new QRubberBand(QRubberBand::Line, window);
    switch (m_type) {
    case SplitType::kVertical:
        m_line->setGeometry(position - 1, y(), 2, height());
        break;
    case SplitType::kHorizontal:
        m_line->setGeometry(x(), position - 1, width(), 2);
        break;
    }
    m_line->show();
    m_line->raise();
}

void SplitBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    // Typing goes nowhere while the panes are resized.
    if (QWidget* focus = QApplication::focusWidget())
        focus->clearFocus();
    m_dragStart = m_value;
    m_dragPosition = m_value;
    ShowLine(m_dragPosition);
}

void SplitBar::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragStart < 0)
        return;
    m_dragPosition = PositionOf(event);
    ShowLine(m_dragPosition);
}

void SplitBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_dragStart < 0 || event->button() != Qt::LeftButton)
        return;
    if (m_line)
        m_line->hide();
    int start = m_dragStart;
    m_dragStart = -1;
    m_value = m_dragPosition;
    emit commandSent(EndSplitDragCommand(m_type, start, m_value));
}
