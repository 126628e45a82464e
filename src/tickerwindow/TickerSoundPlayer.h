// Plays alert sounds with Qt Multimedia, one effect object per file, kept
// for the run. Without an audio device a sound ends at once, silently.
#pragma once

#include "ticker/TickerSounds.h"

#include <QObject>

#include <map>
#include <memory>

class QSoundEffect;

class TickerSoundPlayer : public QObject, public SoundPlayer {
    Q_OBJECT

public:
    TickerSoundPlayer();
    ~TickerSoundPlayer() override;
    bool StartSound(const std::filesystem::path& file, std::function<void()> done) override;

private:
    std::map<std::filesystem::path, std::unique_ptr<QSoundEffect>> m_effects;
};

// Installs the one player of the run as the ticker's (idempotent).
void InstallTickerSoundPlayer();
