#include "control/qt_desktop.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QDateTime>
#include <QDesktopServices>
#include <QMediaDevices>
#include <QMessageBox>
#include <QUrl>

#include "control/wave_sounds.h"

namespace pelex::control {

void QtMessageBox::show(const std::u16string& text, const std::u16string& title, platform::MessageIcon icon) {
    using platform::MessageIcon;
    const auto qtIcon = icon == MessageIcon::Information   ? QMessageBox::Information
                        : icon == MessageIcon::Exclamation ? QMessageBox::Warning
                        : icon == MessageIcon::Critical    ? QMessageBox::Critical
                                                           : QMessageBox::NoIcon;
    QMessageBox box(qtIcon, title.empty() ? QStringLiteral("PelexMSN") : QString::fromStdU16String(title),
                    QString::fromStdU16String(text), QMessageBox::Ok, owner_ ? owner_->window() : nullptr);
    box.setObjectName(QStringLiteral("PelexMessageBox"));
    box.exec();
}

QtAudioOutput::QtAudioOutput(std::function<QString()> preferredOutput) : preferredOutput_(std::move(preferredOutput)) {
    // Qt learns the sound server's devices in the background from the first
    // question on: ask now, so the first ring already finds its output.
    QMediaDevices::defaultAudioOutput();
}

QtAudioOutput::~QtAudioOutput() { stop(); }

void QtAudioOutput::stop() {
    if (sink_) sink_->stop();
    sink_.reset();
    buffer_.reset();
}

void QtAudioOutput::playAsync(std::span<const std::byte> image) {
    stop();  // a new sound cuts the one still playing
    const auto wave = parsePcmWave(image);
    if (!wave || (wave->bitsPerSample != 8 && wave->bitsPerSample != 16)) return;
    QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (const QString preferred = preferredOutput_ ? preferredOutput_() : QString(); !preferred.isEmpty())
        for (const QAudioDevice& d : QMediaDevices::audioOutputs())
            if (d.description() == preferred) device = d;
    if (device.isNull()) return;
    QAudioFormat format;
    format.setSampleRate(wave->sampleRate);
    format.setChannelCount(wave->channels);
    format.setSampleFormat(wave->bitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    if (!device.isFormatSupported(format)) return;
    buffer_ = std::make_unique<QBuffer>();
    buffer_->setData(reinterpret_cast<const char*>(wave->samples.data()), qsizetype(wave->samples.size()));
    buffer_->open(QIODevice::ReadOnly);
    sink_ = std::make_unique<QAudioSink>(device, format);
    sink_->start(buffer_.get());
}

void DesktopUrlOpener::open(const std::u16string& url) {
    QDesktopServices::openUrl(QUrl(QString::fromStdU16String(url)));
}

platform::LocalDateTime SystemClock::now() const {
    const QDateTime t = QDateTime::currentDateTime();
    return {t.date().year(), t.date().month(), t.date().day(), t.time().hour(), t.time().minute(), t.time().second()};
}

}  // namespace pelex::control
