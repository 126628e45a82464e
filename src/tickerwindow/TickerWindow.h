// The ticker strip: a frameless, always-on-top, click-through, translucent
// window 32 pixels high along the bottom of the primary screen's available
// area, shown only while an entry is on it. It paints what the ticker core
// decides (ticker/Ticker.h) and owns the idle and effect timers.
#pragma once

#include "shell/ShellTargets.h"
#include "ticker/Ticker.h"

#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <memory>

class TickerWindow : public QWidget, public TickerPresenter {
    Q_OBJECT

public:
    TickerWindow();
    ~TickerWindow() override;

    // TickerPresenter
    int32_t GetTickerScreenWidth() override;
    int32_t MeasureTickerText(std::string_view text, TickerScript script) override;
    void ShowTicker() override;
    void HideTicker() override;
    void StartEffectTimer(uint32_t periodTicks) override;
    void StopEffectTimer() override;
    void DrawTickerFrame(const TCWStaff& staff, const TickerFrame& frame) override;
    bool IsTickerKeyDown(TickerKey key) override;
    void OpenTickerLink(std::string_view url) override;

    // The last frame drawn (for tests and screenshots).
    const TickerFrame& GetLastFrame() const { return m_frame; }
    // CPU time spent painting, in microseconds, and the frames painted.
    qint64 GetPaintMicroseconds() const { return m_paintMicroseconds; }
    qint64 GetPaintCount() const { return m_paintCount; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PlaceOnScreen();
    // The whole drawing (icons, title, message, shadows) at full strength,
    // made once per entry; frames only place it.
    void MakeDrawing(const TCWStaff& staff);
    QPixmap RenderDrawing(const TCWStaff& staff, double textAlpha, double shadowAlpha) const;
    QRect DrawingRect(const TickerFrame& frame) const;

    QTimer m_idleTimer;
    QTimer m_effectTimer;
    QPixmap m_drawing;
    const TickerQueue* m_drawingEntry = nullptr;
    TickerFrame m_frame{TickerFrameKind::kClear};
    QPixmap m_twinkleDrawing; // the twinkle's frame at its own strength
    qint64 m_paintMicroseconds = 0;
    qint64 m_paintCount = 0;
};

// The shell's ticker: opens the strip and starts its idle timer.
std::unique_ptr<ShellTicker> OpenTickerWindow();

// The open strip; null before OpenTickerWindow and after its Close.
TickerWindow* GetTickerWindow();
