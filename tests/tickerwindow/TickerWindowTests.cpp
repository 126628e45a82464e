// The strip window: where and how it sits on the screen, that it shows only
// while an entry runs, that every script's text gets glyphs, and what a
// frame costs.
#include "model/NewsList.h"
#include "ticker/Ticker.h"
#include "tickerwindow/TickerWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QImage>
#include <QScreen>
#include <gtest/gtest.h>

#include <ctime>

namespace {

bool SpinUntil(const std::function<bool()>& done, int milliseconds = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

class Strip : public ::testing::Test {
protected:
    void TearDown() override
    {
        m_ticker->Close();
        m_ticker.reset();
    }
    std::unique_ptr<ShellTicker> m_ticker = OpenTickerWindow();
    TickerWindow& m_window = *GetTickerWindow();
};

TEST_F(Strip, SitsAlongTheBottomOfTheScreenAndShowsOnlyWhileBusy)
{
    EXPECT_FALSE(m_window.isVisible());
    RegistMessageTickerWindow("Hello from a test", 1, "", "Blink", "Tests", 0, 0);
    ASSERT_TRUE(SpinUntil([&] { return m_window.isVisible(); }));

    QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(m_window.geometry(), QRect(area.left(), area.bottom() + 1 - 32, area.width(), 32));
    Qt::WindowFlags flags = m_window.windowFlags();
    for (Qt::WindowType flag : {Qt::FramelessWindowHint, Qt::WindowStaysOnTopHint, Qt::WindowTransparentForInput})
        EXPECT_TRUE(flags.testFlag(flag)) << flag;
    EXPECT_TRUE(m_window.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(m_window.GetLastFrame().kind, TickerFrameKind::kDraw);

    CloseTicker(); // quit: the queue goes, the strip with it
    m_window.HideTicker();
    EXPECT_FALSE(m_window.isVisible());
}

// Pixels of the rendered strip that are not transparent, from x on.
int CountInkedPixels(TickerWindow& window, int fromX)
{
    QImage image = window.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = fromX; x < image.width(); ++x)
            inked += qAlpha(image.pixel(x, y)) > 128;
    return inked;
}

TEST_F(Strip, EveryScriptIsDrawnWithAFontThatHasItsGlyphs)
{
    EXPECT_FALSE(QFontDatabase::families(QFontDatabase::Japanese).isEmpty()) << "no Japanese font installed";
    struct Case {
        const char* text;
        TickerScript script;
    } const kCases[] = {
        {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x8B\xE3\x83\xA5\xE3\x83\xBC\xE3\x82\xB9",
         kTickerScriptJapanese},
        {"\xD0\x9D\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD1\x82\xD0\xB8", kTickerScriptCyrillic},
        {"\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4 \xEB\x89\xB4\xEC\x8A\xA4", kTickerScriptKorean},
    };
    for (const Case& c : kCases) {
        RegistMessageTickerWindow(c.text, 1, "", "Blink", "", 0, 0);
        ASSERT_TRUE(SpinUntil([] {
            const TickerQueue* head = GetTickerStaff().queue;
            return head && (head->flags & kTickerFlagStarted);
        }));
        const TCWStaff& staff = GetTickerStaff();
        EXPECT_EQ(staff.queue->script, c.script) << c.text;
        EXPECT_EQ(staff.drawingMode, kTickerDrawingBitmap);
        // Glyphs, not boxes: the measured text is as wide as its characters
        // and the strip holds ink where the message is.
        EXPECT_GT(staff.messageWidth, 5 * 8) << c.text;
        EXPECT_GT(CountInkedPixels(m_window, staff.tickerPos + kTickerIconAdvance), 50) << c.text;
        CloseTicker();
        m_window.HideTicker();
    }
}

TEST_F(Strip, AFrameCostsWellUnderAMillisecond)
{
    RegistMessageTickerWindow("A headline long enough to stand for a real one --- with its summary", 1, "", "",
                              "Source", 0, 0);
    ASSERT_TRUE(SpinUntil([&] { return m_window.isVisible(); }));
    std::timespec start{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    int frames = 0;
    for (; frames < 40; ++frames) {
        FireTickerEffectTimer();
        m_window.repaint();
    }
    std::timespec end{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    double microseconds = double(end.tv_sec - start.tv_sec) * 1e6 + double(end.tv_nsec - start.tv_nsec) / 1e3;
    RecordProperty("MicrosecondsPerFrame", int(microseconds / frames));
    EXPECT_LT(microseconds / frames, 1000.0);
}

} // namespace
