// The way to the audio tuning dialog (a context menu entry and a shortcut on
// the control itself, so it works in any host), and the note on the display
// when a microphone, a speaker or the sound server is missing.

#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QShortcut>

#include "control/layout.h"
#include "control/pelex_msn.h"
#include "platform/failure_policy.h"

namespace pelex::control {

namespace {
const QKeySequence kAudioShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_A);
}  // namespace

void Pelex_MSN::buildAudioMenu() {
    // The note sits under the number box: always in view, never in the way
    // of the line's texts, which the call button reads.
    lblSoundNote_ = new QLabel(picMainForm_);
    lblSoundNote_->setObjectName(QStringLiteral("lblSoundNote"));
    lblSoundNote_->setAccessibleName(QStringLiteral("Sound note"));
    lblSoundNote_->setAlignment(Qt::AlignCenter);
    lblSoundNote_->setWordWrap(true);
    QFont tiny = lblSoundNote_->font();
    tiny.setPixelSize(std::max(7, px(120)));
    lblSoundNote_->setFont(tiny);
    const auto& r = layout::lblSoundNote;
    lblSoundNote_->setGeometry(px(r.left), px(r.top), px(r.width), px(r.height));
    lblSoundNote_->hide();
    if (services_.soundNotes)
        services_.soundNotes->attach([this](const std::u16string& text) { showSoundNote(text); });

    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &Pelex_MSN::showAudioMenu);
    auto* shortcut = new QShortcut(kAudioShortcut, this);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(shortcut, &QShortcut::activated, this, &Pelex_MSN::openAudioSettings);
}

void Pelex_MSN::showAudioMenu(const QPoint& at) {
    QMenu menu(this);
    QAction* audio = menu.addAction(QStringLiteral("&Audio settings..."), this, &Pelex_MSN::openAudioSettings);
    audio->setShortcut(kAudioShortcut);
    audio->setObjectName(QStringLiteral("actAudioSettings"));
    menu.exec(mapToGlobal(at));
}

void Pelex_MSN::openAudioSettings() {
    // While signing out the engine lets go of its sound devices; the dialog
    // would outlive them.
    if (!rtc_.engine || signedOut_) {
        message(u"Sign in first: the microphone and the speaker are chosen for the signed-in phone.", u"PelexMSN");
        return;
    }
    // Like the engine's other owner operations, a failing dialog is skipped.
    platform::skipStep([&] { rtc_.engine->Wizard(static_cast<std::int64_t>(window()->winId())); });
}

void Pelex_MSN::showSoundNote(const std::u16string& text) {
    lblSoundNote_->setText(QString::fromStdU16String(text));
    lblSoundNote_->setToolTip(lblSoundNote_->text());
    lblSoundNote_->setVisible(!text.empty());
}

}  // namespace pelex::control
