// The strip's painting and timers. A frame only places a picture made once
// per entry and repaints the columns it leaves and enters, so a frame costs
// a blit, not a text layout.
#include "tickerwindow/TickerWindow.h"

#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/Folders.h"
#include "platform/Log.h"
#include "settings/Environs.h"
#include "settings/FontFamilies.h"
#include "shell/TickerMessage.h"
#include "tickerwindow/TickerKeys.h"
#include "tickerwindow/TickerSoundPlayer.h"

#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include <algorithm>
#include <ctime>

static TickerWindow* gTickerWindow = nullptr;

static constexpr int kMillisecondsPerSecond = 1000;
// Shadows: black at 0.7 over the vector text; grey (13107 of 65535) under
// the script fonts.
static constexpr double kVectorShadowAlpha = 0.7;
static const QColor kBitmapShadowColor(0x33, 0x33, 0x33);
static constexpr int kShadowOffset = 1;
// The drawing is made this much wider than measured, for the shadow and for
// glyphs that overhang their advance.
static constexpr int kDrawingOverhang = 4;

/* ---- Fonts and colours ---- */

static QString ToQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The font of an entry's script: the ticker font for Roman text; the
// script's font otherwise, bold for Cyrillic and Korean, one size smaller for
// Cyrillic and Japanese. Missing glyphs come from the fallback fonts.
static QFont GetTickerFont(TickerScript script)
{
    int size = ENVtickerSize();
    QFont font;
    switch (script) {
    case kTickerScriptRoman:
        font.setFamily(ToQString(ENVtickerFontName()));
        break;
    case kTickerScriptCyrillic:
        font.setFamily(ToQString(GetFontFamilyNameOrDefault(ENVtickerRFont())));
        font.setBold(true);
        --size;
        break;
    case kTickerScriptKorean:
        font.setFamily(ToQString(GetFontFamilyNameOrDefault(ENVtickerKFont())));
        font.setBold(true);
        break;
    case kTickerScriptChineseTrad:
        font.setFamily(ToQString(GetFontFamilyNameOrDefault(ENVtickerCTFont())));
        break;
    case kTickerScriptChineseSimp:
        font.setFamily(ToQString(GetFontFamilyNameOrDefault(ENVtickerCSFont())));
        break;
    case kTickerScriptJapanese:
        font.setFamily(ToQString(GetFontFamilyNameOrDefault(ENVtickerJFont())));
        --size;
        break;
    }
    font.setPixelSize(std::max(size, 1));
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

static QColor GetTickerColor()
{
    const RGBColor& color = ENVtickerColor();
    return QColor(color.red >> 8, color.green >> 8, color.blue >> 8);
}

/* ---- Icons ---- */

static QPixmap MakeFeedIcon()
{
    QPixmap icon(kTickerIconSize, kTickerIconSize);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xF2, 0x8A, 0x1E));
    painter.drawRoundedRect(QRectF(0.5, 0.5, 19, 19), 4, 4);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(5.5, 14.5), 2.2, 2.2);
    painter.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(-3.5, 5.5, 18, 18), 0 * 16, 90 * 16);
    painter.drawArc(QRectF(-9.5, -0.5, 30, 30), 0 * 16, 90 * 16);
    return icon;
}

static QPixmap MakeMailIcon()
{
    QPixmap icon(kTickerIconSize, kTickerIconSize);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    QRectF envelope(1.5, 4.5, 17, 12);
    painter.setPen(QPen(QColor(0x40, 0x50, 0x70), 1.2));
    painter.setBrush(QColor(0xF4, 0xF6, 0xFA));
    painter.drawRoundedRect(envelope, 1.5, 1.5);
    QPainterPath flap;
    flap.moveTo(envelope.topLeft());
    flap.lineTo(envelope.center().x(), envelope.top() + 7);
    flap.lineTo(envelope.topRight());
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(flap);
    return icon;
}

// The sending program's icon by its process name, else Varnoke's.
static QPixmap MakeApplicationIcon(uint32_t processID)
{
    if (processID != 0) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(processID));
        if (comm.open(QIODevice::ReadOnly)) {
            QString name = QString::fromUtf8(comm.readAll()).trimmed();
            QIcon themed = QIcon::fromTheme(name);
            if (!themed.isNull())
                return themed.pixmap(kTickerIconSize, kTickerIconSize);
        }
    }
    if (std::optional<std::filesystem::path> path = MakeResourcePath("icons/varnoke.png")) {
        QPixmap icon(QString::fromStdString(path->string()));
        if (!icon.isNull())
            return icon.scaled(kTickerIconSize, kTickerIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    return MakeFeedIcon();
}

static QPixmap GetEntryIcon(const TickerQueue& entry)
{
    switch (entry.iconRef) {
    case TickerIcon::kFeed:
        return MakeFeedIcon();
    case TickerIcon::kMail:
        return MakeMailIcon();
    case TickerIcon::kApplication:
        return MakeApplicationIcon(entry.newsSender);
    }
    return MakeFeedIcon();
}

/* ---- The window ---- */

TickerWindow::TickerWindow()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus |
                           Qt::X11BypassWindowManagerHint)
{
    setObjectName(QStringLiteral("TCW "));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setWindowTitle(QStringLiteral("Varnoke Ticker"));
    PlaceOnScreen();
    gTickerWindow = this;
    SetTickerPresenter(this);
    InstallTickerSoundPlayer();

    m_idleTimer.setInterval(int(kTickerIdlePeriodTicks * kMillisecondsPerSecond / kTicksPerSecond));
    connect(&m_idleTimer, &QTimer::timeout, this, [] { IdleEventLoop(); });
    m_idleTimer.start();
    m_effectTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_effectTimer, &QTimer::timeout, this, [] { FireTickerEffectTimer(); });
}

TickerWindow::~TickerWindow()
{
    SetTickerPresenter(nullptr);
    if (gTickerWindow == this)
        gTickerWindow = nullptr;
}

TickerWindow* GetTickerWindow()
{
    return gTickerWindow;
}

void TickerWindow::PlaceOnScreen()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    setGeometry(area.left(), area.bottom() + 1 - kTickerWindowHeight, area.width(), kTickerWindowHeight);
}

int32_t TickerWindow::GetTickerScreenWidth()
{
    PlaceOnScreen();
    return width();
}

int32_t TickerWindow::MeasureTickerText(std::string_view text, TickerScript script)
{
    return QFontMetrics(GetTickerFont(script)).horizontalAdvance(ToQString(text));
}

void TickerWindow::ShowTicker()
{
    PlaceOnScreen();
    m_frame = TickerFrame{TickerFrameKind::kClear};
    show(); // stays on top by its flags; raising would take nothing more
}

void TickerWindow::HideTicker()
{
    hide();
    m_frame = TickerFrame{TickerFrameKind::kClear};
    m_drawing = QPixmap();
    m_drawingEntry = nullptr;
}

void TickerWindow::StartEffectTimer(uint32_t periodTicks)
{
    m_drawingEntry = nullptr;
    m_effectTimer.setInterval(int(periodTicks * kMillisecondsPerSecond / kTicksPerSecond));
    m_effectTimer.start();
    FireTickerEffectTimer();
}

void TickerWindow::StopEffectTimer()
{
    m_effectTimer.stop();
}

QPixmap TickerWindow::RenderDrawing(const TCWStaff& staff, double textAlpha, double shadowAlpha) const
{
    const TickerQueue& entry = *staff.queue;
    // Made at the screen's pixel density, so that text stays sharp on a
    // high-density screen.
    const qreal ratio = devicePixelRatioF();
    QPixmap drawing(QSize(std::max(staff.drawingWidth + kDrawingOverhang, 1), kTickerWindowHeight) * ratio);
    drawing.setDevicePixelRatio(ratio);
    drawing.fill(Qt::transparent);
    QPainter painter(&drawing);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(GetTickerFont(entry.script));
    const bool bitmap = staff.drawingMode == kTickerDrawingBitmap;
    QColor shadow = bitmap ? kBitmapShadowColor : QColor(0, 0, 0);
    shadow.setAlphaF(float(std::clamp((bitmap ? 1.0 : kVectorShadowAlpha) * shadowAlpha, 0.0, 1.0)));
    QColor text = GetTickerColor();
    text.setAlphaF(float(std::clamp(textAlpha, 0.0, 1.0)));
    const int baselineY = kTickerWindowHeight - kTickerTextBaseline;
    const int iconTop = baselineY + kTickerIconBelowBaseline - kTickerIconSize;
    const QPixmap icon = GetEntryIcon(entry);
    auto drawText = [&](int x, const QString& string) {
        painter.setPen(shadow);
        painter.drawText(QPoint(x + kShadowOffset, baselineY + kShadowOffset), string);
        painter.setPen(text);
        painter.drawText(QPoint(x, baselineY), string);
    };
    int x = 0;
    painter.drawPixmap(x, iconTop, icon);
    x += kTickerIconAdvance;
    if (staff.titleWidth > 0) {
        drawText(x, ToQString(entry.title.view()));
        x += staff.titleWidth + kTickerTitleGap;
        painter.drawPixmap(x, iconTop, icon);
        x += kTickerIconAdvance;
    }
    drawText(x, ToQString(staff.drawMessage));
    return drawing;
}

void TickerWindow::MakeDrawing(const TCWStaff& staff)
{
    if (m_drawingEntry == staff.queue && !m_drawing.isNull())
        return;
    m_drawing = RenderDrawing(staff, 1.0, 1.0);
    m_drawingEntry = staff.queue;
}

QRect TickerWindow::DrawingRect(const TickerFrame& frame) const
{
    if (frame.kind != TickerFrameKind::kDraw || m_drawing.isNull())
        return {};
    int dy = kTickerTextBaseline - frame.baseline;
    return QRect(QPoint(frame.x, dy), m_drawing.deviceIndependentSize().toSize()).intersected(rect());
}

void TickerWindow::DrawTickerFrame(const TCWStaff& staff, const TickerFrame& frame)
{
    QRect before = DrawingRect(m_frame);
    if (frame.kind == TickerFrameKind::kDraw && staff.queue) {
        MakeDrawing(staff);
        bool faded = frame.textAlpha < 1.0 || frame.shadowAlpha < 1.0;
        m_twinkleDrawing = faded ? RenderDrawing(staff, frame.textAlpha, frame.shadowAlpha) : QPixmap();
    }
    m_frame = frame;
    QRect after = DrawingRect(m_frame);
    QRect dirty = before.united(after);
    if (frame.kind == TickerFrameKind::kClear)
        dirty = rect();
    if (!dirty.isEmpty())
        update(dirty);
}

void TickerWindow::paintEvent(QPaintEvent* event)
{
    std::timespec start{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(event->rect(), Qt::transparent);
    if (m_frame.kind == TickerFrameKind::kDraw && !m_drawing.isNull()) {
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        int dy = kTickerTextBaseline - m_frame.baseline;
        painter.drawPixmap(m_frame.x, dy, m_twinkleDrawing.isNull() ? m_drawing : m_twinkleDrawing);
    }
    painter.end();
    std::timespec end{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    m_paintMicroseconds += (end.tv_sec - start.tv_sec) * 1000000 + (end.tv_nsec - start.tv_nsec) / 1000;
    ++m_paintCount;
}

bool TickerWindow::IsTickerKeyDown(TickerKey key)
{
    return IsFunctionKeyDown(key);
}

void TickerWindow::OpenTickerLink(std::string_view url)
{
    LaunchURL(url);
}

/* ---- The shell's ticker ---- */

namespace {

class TickerShell : public ShellTicker {
public:
    TickerShell() : m_window(std::make_unique<TickerWindow>()) {}

    void RegistMessage(const TickerMessage& message) override
    {
        // Other programs' messages are noted as they arrive, as before the
        // strip existed, so that a sender can see its message was taken.
        LogInfo("ticker message from \"%s\": \"%s\" (priority %d, sound \"%s\", effect \"%s\", "
                "message %d, process %d)",
                message.source.c_str(), message.message.c_str(), int(message.priority), message.sound.c_str(),
                message.effect.c_str(), int(message.messageID), int(message.processID));
        // A negative priority would read as the highest of all: it is the lowest.
        uint32_t priority = message.priority < 0 ? 0 : uint32_t(message.priority);
        RegistMessageTickerWindow(message.message, priority, message.sound, message.effect, message.source,
                                  uint32_t(message.messageID), uint32_t(message.processID));
    }

    void Close() override
    {
        CloseTicker();
        m_window->hide();
    }

private:
    std::unique_ptr<TickerWindow> m_window;
};

} // namespace

std::unique_ptr<ShellTicker> OpenTickerWindow()
{
    return std::make_unique<TickerShell>();
}
