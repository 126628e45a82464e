// Opens the ticker strip over a backdrop for screenshots and measurements.
//   ticker_showcase hold EFFECT latin|ja FRAME   the entry held at that frame;
//                                               prints "ready" once painted
//   ticker_showcase editor                       the keyword filter editor with a
//                                               few filters; prints "ready"
//   ticker_showcase measure SECONDS              entries back to back (animation
//                                               only, then whole entries), then
//                                               idle, SECONDS each; prints the
//                                               CPU share of each phase
#include "platform/Clock.h"
#include "settings/Environs.h"
#include "ticker/Ticker.h"
#include "ticker/Filters.h"
#include "tickerwindow/NewsFilterWindow.h"
#include "tickerwindow/TickerWindow.h"

#include <QApplication>
#include <QEventLoop>
#include <QElapsedTimer>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>

#include <cstdio>
#include <ctime>
#include <sys/resource.h>

namespace {

// A desktop-like backdrop, so that the strip's translucency shows.
class Backdrop : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QLinearGradient sky(0, 0, width(), height());
        sky.setColorAt(0, QColor(0x2B, 0x5F, 0x8F));
        sky.setColorAt(0.6, QColor(0x7F, 0xA7, 0xC9));
        sky.setColorAt(1, QColor(0xD9, 0xC6, 0x9E));
        painter.fillRect(rect(), sky);
        painter.setPen(QColor(255, 255, 255, 60));
        for (int x = -height(); x < width(); x += 60)
            painter.drawLine(x, height(), x + height(), 0);
    }
};

struct Headline {
    const char* source;
    const char* message;
};

constexpr Headline kLatin{"Varnoke News", "Debian 12.5 released with 68 security fixes --- The point release "
                                          "brings updated kernels and firmware."};
constexpr Headline kJapanese{"\xE3\x83\x8B\xE3\x83\xA5\xE3\x83\xBC\xE3\x82\xB9\xE9\x80\x9F\xE5\xA0\xB1",
                             "\xE6\x9D\xB1\xE4\xBA\xAC\xE3\x81\xA7\xE6\x96\xB0\xE3\x81\x97\xE3\x81\x84\xE9\x89"
                             "\x84\xE9\x81\x93\xE8\xB7\xAF\xE7\xB7\x9A\xE3\x81\x8C\xE9\x96\x8B\xE6\xA5\xAD\xE3"
                             "\x80\x81\xE9\x80\x9A\xE5\x8B\xA4\xE6\x99\x82\xE9\x96\x93\xE3\x81\x8C\xE5\xA4\xA7"
                             "\xE5\xB9\x85\xE3\x81\xAB\xE7\x9F\xAD\xE7\xB8\xAE"};

double ProcessCPUSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int Hold(const QString& effect, const QString& language, int frame)
{
    const Headline& headline = language == "ja" ? kJapanese : kLatin;
    RegistMessageTickerWindow(headline.message, 1, "", effect.toStdString(), headline.source, 0, 0);
    IdleEventLoop(); // starts the entry and draws its first frame
    GetTickerWindow()->StopEffectTimer();
    for (int i = 1; i < frame; ++i)
        FireTickerEffectTimer();
    QTimer::singleShot(800, [] {
        std::puts("ready");
        std::fflush(stdout);
    });
    QTimer::singleShot(15000, [] { QApplication::quit(); });
    return QApplication::exec();
}

int ShowEditor()
{
    // Columns: keyword text, sound, effect.
    const char* const kFilters[][3] = {{"debian security", "Chime", "Flash"},
                                       {"kernel release", "Bell", "Rising"},
                                       {"\xE5\x9C\xB0\xE9\x9C\x87", "Tick", "Growl"},
                                       {"weather storm", "None", "Blink"},
                                       {"Varnoke News", "Twin", "Twinkle"}};
    FilterList* list = nullptr;
    for (const auto& row : kFilters) {
        FilterList data;
        data.keyword = row[0];
        data.sound = row[1];
        data.effect = row[2];
        list = AddFilterList(list, nullptr, data);
    }
    SetNewsFilterList(list);
    NewsFilterWindow* editor = OpenNewsFilterWindow();
    editor->move(200, 150);
    editor->GetList()->topLevelItem(1)->setSelected(true);
    QTimer::singleShot(800, [] {
        std::puts("ready");
        std::fflush(stdout);
    });
    QTimer::singleShot(15000, [] { QApplication::quit(); });
    return QApplication::exec();
}

// Runs the event loop for `seconds`; returns the CPU seconds it used.
double RunFor(int seconds)
{
    double start = ProcessCPUSeconds();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    return ProcessCPUSeconds() - start;
}

struct Phase {
    double cpu = 0;
    qint64 paints = 0;
    qint64 paintMicroseconds = 0;
};

// Entries of `effect` back to back for `seconds`; with `skipRest` each is
// replaced as soon as its animation ends, so only animation is measured.
Phase MeasureEntries(const char* effect, bool skipRest, int seconds)
{
    TickerWindow* window = GetTickerWindow();
    QTimer feeder;
    QObject::connect(&feeder, &QTimer::timeout, [&] {
        const TCWStaff& staff = GetTickerStaff();
        if (skipRest && staff.queue && staff.stopTicks != 0)
            CloseTicker();
        if (!GetTickerStaff().queue)
            RegistMessageTickerWindow(kLatin.message, 1, "", effect, kLatin.source, 0, 0);
    });
    feeder.start(1000 / 60);
    Phase phase;
    qint64 paints = window->GetPaintCount();
    qint64 paintTime = window->GetPaintMicroseconds();
    phase.cpu = RunFor(seconds);
    phase.paints = window->GetPaintCount() - paints;
    phase.paintMicroseconds = window->GetPaintMicroseconds() - paintTime;
    feeder.stop();
    CloseTicker();
    window->HideTicker();
    return phase;
}

void PrintPhase(const char* name, const Phase& phase, int seconds)
{
    std::printf("%-34s %6.2f%% of one core over %d s (%lld frames painted, %.0f us of painting each)\n", name,
                100.0 * phase.cpu / seconds, seconds, static_cast<long long>(phase.paints),
                phase.paints ? double(phase.paintMicroseconds) / double(phase.paints) : 0.0);
}

int Measure(int seconds)
{
    PrintPhase("flash, animation only:", MeasureEntries("Flash", true, seconds), seconds);
    PrintPhase("rising, animation only:", MeasureEntries("Rising", true, seconds), seconds);
    PrintPhase("twinkle, animation only:", MeasureEntries("Twinkle", true, seconds), seconds);
    PrintPhase("flash, whole entries with rest:", MeasureEntries("Flash", false, seconds), seconds);
    PrintPhase("idle (queue empty, strip hidden):", Phase{RunFor(seconds)}, seconds);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    InitEnvirons();
    QStringList arguments = QApplication::arguments().mid(1);
    if (arguments.isEmpty()) {
        std::fprintf(stderr, "usage: ticker_showcase hold EFFECT latin|ja FRAME | editor | measure SECONDS\n");
        return 2;
    }
    Backdrop backdrop;
    backdrop.setGeometry(QGuiApplication::primaryScreen()->geometry());
    backdrop.show();
    std::unique_ptr<ShellTicker> ticker = OpenTickerWindow();
    if (arguments[0] == "hold" && arguments.size() == 4)
        return Hold(arguments[1], arguments[2], arguments[3].toInt());
    if (arguments[0] == "editor")
        return ShowEditor();
    if (arguments[0] == "measure" && arguments.size() == 2)
        return Measure(arguments[1].toInt());
    return 2;
}
