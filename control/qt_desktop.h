#pragma once
// The production seams to the desktop: real message boxes, sound, browser
// and clock.

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

#include "platform/audio_output.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/url_opener.h"

class QAudioSink;
class QBuffer;

namespace pelex::control {

/// A modal QMessageBox with an OK button; an empty title reads "PelexMSN".
/// Once given an owner, every box belongs to the owner's window and opens
/// centred over it.
class QtMessageBox : public platform::MessageBox {
public:
    void setOwner(QWidget* owner) { owner_ = owner; }
    void show(const std::u16string& text, const std::u16string& title, platform::MessageIcon icon) override;

private:
    QPointer<QWidget> owner_;
};

/// Plays PCM waves through the desktop's sound server (Qt Multimedia): on
/// the output `preferredOutput` names (a device description) while there is
/// one, else on the default output. Without an output device, or for a
/// format the device cannot take, it stays silent.
class QtAudioOutput : public QObject, public platform::AudioOutput {
public:
    explicit QtAudioOutput(std::function<QString()> preferredOutput = {});
    ~QtAudioOutput() override;
    void playAsync(std::span<const std::byte> wave) override;
    void stop() override;

private:
    std::function<QString()> preferredOutput_;
    std::unique_ptr<QAudioSink> sink_;
    std::unique_ptr<QBuffer> buffer_;
};

/// Opens addresses with QDesktopServices (the user's default browser).
class DesktopUrlOpener : public platform::UrlOpener {
public:
    void open(const std::u16string& url) override;
};

/// The local time of the machine.
class SystemClock : public platform::Clock {
public:
    platform::LocalDateTime now() const override;
};

}  // namespace pelex::control
