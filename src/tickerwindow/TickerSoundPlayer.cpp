// The sound player. Completion comes from the effect's playing state; a
// safety timer ends a playback that never reports, so one broken device
// cannot silence every later sound.
#include "tickerwindow/TickerSoundPlayer.h"

#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

static constexpr int kLongestSoundMs = 10000;

TickerSoundPlayer::TickerSoundPlayer() = default;
TickerSoundPlayer::~TickerSoundPlayer()
{
    SetSoundPlayer(nullptr);
}

bool TickerSoundPlayer::StartSound(const std::filesystem::path& file, std::function<void()> done)
{
    std::unique_ptr<QSoundEffect>& effect = m_effects[file];
    if (!effect) {
        effect = std::make_unique<QSoundEffect>();
        effect->setSource(QUrl::fromLocalFile(QString::fromStdString(file.string())));
    }
    if (effect->status() == QSoundEffect::Error)
        return false;
    auto finished = std::make_shared<bool>(false);
    auto finish = [finished, done] {
        if (std::exchange(*finished, true))
            return;
        done();
    };
    QSoundEffect* raw = effect.get();
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(raw, &QSoundEffect::playingChanged, this, [raw, finish, connection] {
        if (raw->isPlaying())
            return;
        QObject::disconnect(*connection);
        finish();
    });
    auto failed = std::make_shared<QMetaObject::Connection>();
    *failed = connect(raw, &QSoundEffect::statusChanged, this, [raw, finish, failed] {
        if (raw->status() != QSoundEffect::Error)
            return;
        QObject::disconnect(*failed);
        finish();
    });
    QTimer::singleShot(kLongestSoundMs, this, finish);
    raw->play();
    return true;
}

void InstallTickerSoundPlayer()
{
    static TickerSoundPlayer* player = nullptr;
    if (player)
        return;
    player = new TickerSoundPlayer(); // lives for the run
    SetSoundPlayer(player);
}
