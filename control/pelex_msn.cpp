// Start-up, children and panels of the control, and the ownership of its
// protocol object, socket and engine.

#include "control/pelex_msn.h"

#include <QCheckBox>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTimer>
#include <QUrl>

#include "platform/failure_policy.h"
#include "control/image_button.h"
#include "control/layout.h"
#include "control/relays.h"
#include "control/skin.h"

namespace pelex::control {

using platform::skipStep;

namespace {

QLabel* makeLabel(const QString& name, const QString& caption, QWidget* parent, Qt::Alignment align) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setAlignment(align);
    return label;
}

QLabel* makeHiddenPicture(const QString& name, const QPixmap& picture, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setPixmap(picture);
    label->hide();
    return label;
}

}  // namespace

Pelex_MSN::Pelex_MSN(ControlServices services, QWidget* parent)
    : QWidget(parent),
      services_(std::move(services)),
      protocolRelay_(std::make_unique<ProtocolRelay>(*this)),
      socketRelay_(std::make_unique<SocketRelay>(*this)),
      cvp_(*protocolRelay_, *services_.messageBox, *services_.processStarter, services_.controlFolder) {
    // Start-up step 1: the protocol object exists from here on (member cvp_).
    setObjectName(QStringLiteral("Pelex_MSN"));
    setAccessibleName(QStringLiteral("Pelex phone"));
    cvp_.setServiceWebHost(QUrl(QString::fromStdU16String(services_.endpoints.webSite)).host());
    services_.socket->setEvents(socketRelay_.get());
    buildChildren();
    connectDialPad();
    buildAudioMenu();
    setUpKeyboard();

    setExtent();                                   // step 2
    loadSavedSettings();                           // step 3
    imgLogin_->setPicture(picLogin0_->pixmap());   // step 4
    lblVersion_->setText(QStringLiteral("%1.%2.%3")  // step 5
                             .arg(PELEX_VERSION_MAJOR)
                             .arg(PELEX_VERSION_MINOR)
                             .arg(PELEX_VERSION_REVISION));
}

Pelex_MSN::~Pelex_MSN() {
    destroying_ = true;
    if (services_.soundNotes) services_.soundNotes->detach();
    UserControl_Terminate();
    if (rtc_.relay) rtc_.relay->silence();
    rtc_ = {};
    retired_.clear();
    services_.socket->setEvents(nullptr);
    services_.socket->Close();
}

int Pelex_MSN::px(int twips) const { return qRound(twips * logicalDpiX() / 1440.0); }

void Pelex_MSN::setExtent() {
    const int height = px(layout::kControlHeight);
    const int width = px(layout::kControlWidth);
    setFixedHeight(height);
    setFixedWidth(width);
}

void Pelex_MSN::buildChildren() {
    const auto place = [this](QWidget* w, const layout::TwipsRect& r) {
        w->setGeometry(px(r.left), px(r.top), px(r.width), px(r.height));
    };
    const double scale = logicalDpiX() / 1440.0;
    skin_ = skin::phone(scale);
    QFont small = font();
    small.setPixelSize(std::max(7, px(150)));
    setFont(small);

    // The display panel first, so that the sign-in panel lies over it.
    picMainForm_ = makeLabel(QStringLiteral("picMainForm"), {}, this, Qt::AlignLeft);
    place(picMainForm_, layout::picMainForm);
    picMainForm_->setPixmap(skin::displayPanel(picMainForm_->size()));
    lblDisplay_ = makeLabel(QStringLiteral("lblDisplay"), {}, picMainForm_, Qt::AlignCenter);
    lblDisplay_->setWordWrap(true);
    lblDisplay_->setAccessibleDescription(QStringLiteral("Display"));
    place(lblDisplay_, layout::lblDisplay);
    lblCallStatus_ = makeLabel(QStringLiteral("lblCallStatus"), {}, picMainForm_, Qt::AlignCenter);
    lblCallStatus_->setAccessibleDescription(QStringLiteral("Call status"));
    place(lblCallStatus_, layout::lblCallStatus);
    lbltimer_ = makeLabel(QStringLiteral("lbltimer"), {}, picMainForm_, Qt::AlignCenter);
    lbltimer_->setAccessibleDescription(QStringLiteral("Call timer"));
    place(lbltimer_, layout::lbltimer);
    lbltimer_->hide();
    lblcall_ = new QLineEdit(picMainForm_);
    lblcall_->setObjectName(QStringLiteral("lblcall"));
    lblcall_->setAccessibleName(QStringLiteral("Number"));
    lblcall_->setAlignment(Qt::AlignCenter);
    lblcall_->setMaxLength(32767);
    lblcall_->setToolTip(QStringLiteral(
        "Use prefix 00 + country code + number to call a phone or call direct VOIP number."));
    place(lblcall_, layout::lblcall);
    lblcall_->installEventFilter(this);

    picLoginForm_ = makeLabel(QStringLiteral("picLoginForm"), {}, this, Qt::AlignLeft);
    place(picLoginForm_, layout::picLoginForm);
    picLoginForm_->setPixmap(skin::loginPanel(picLoginForm_->size()));
    place(makeLabel(QStringLiteral("lblVoip"), QStringLiteral("VOIP Number : "), picLoginForm_, Qt::AlignLeft),
          layout::lblVoip);
    txtusrname_ = new QLineEdit(picLoginForm_);
    txtusrname_->setObjectName(QStringLiteral("txtusrname"));
    txtusrname_->setAccessibleName(QStringLiteral("VOIP Number"));
    place(txtusrname_, layout::txtusrname);
    place(makeLabel(QStringLiteral("lblPassword"), QStringLiteral("Password :"), picLoginForm_, Qt::AlignLeft),
          layout::lblPassword);
    txtPassword_ = new QLineEdit(picLoginForm_);
    txtPassword_->setObjectName(QStringLiteral("txtPassword"));
    txtPassword_->setAccessibleName(QStringLiteral("Password"));
    txtPassword_->setEchoMode(QLineEdit::Password);
    place(txtPassword_, layout::txtPassword);
    imgLogin_ = new ImageButton(QStringLiteral("imgLogin"), QStringLiteral("Sign in"), picLoginForm_);
    place(imgLogin_, layout::imgLogin);
    lblSignIn_ = makeLabel(QStringLiteral("lblSignIn"), QStringLiteral("Signing in..."), picLoginForm_,
                           Qt::AlignCenter);
    place(lblSignIn_, layout::lblSignIn);
    lblSignIn_->hide();
    chkSaveProfile_ = new QCheckBox(QStringLiteral("Save Profile"), picLoginForm_);
    chkSaveProfile_->setObjectName(QStringLiteral("chkSaveProfile"));
    chkSaveProfile_->setChecked(true);
    QFont boxFont = small;
    boxFont.setPixelSize(std::max(6, px(135)));
    chkSaveProfile_->setFont(boxFont);
    place(chkSaveProfile_, layout::chkSaveProfile);
    lblregister_ = new ImageButton(QStringLiteral("lblregister"), QStringLiteral("New Register"), picLoginForm_);
    place(lblregister_, layout::lblregister);
    lblregister_->setPicture(skin::linkCaption(lblregister_->size(), lblregister_->text()));
    chkAutoLogin_ = new QCheckBox(QStringLiteral("Auto Login"), picLoginForm_);
    chkAutoLogin_->setObjectName(QStringLiteral("chkAutoLogin"));
    place(chkAutoLogin_, layout::chkAutoLogin);
    connect(chkAutoLogin_, &QCheckBox::stateChanged, this, [this] { chkAutoLogin_Click(); });

    // The sign-in button's two pictures and the pressed pictures of the keys
    // and the call button, kept hidden outside the visible area.
    const QSize loginSize(px(layout::imgLogin.width), px(layout::imgLogin.height));
    picLogin0_ = makeHiddenPicture(QStringLiteral("picLogin_0"), skin::signInButton(loginSize, false), picLoginForm_);
    picbtn1_ = makeHiddenPicture(QStringLiteral("picbtn1"), skin::signInButton(loginSize, true), picLoginForm_);
    for (int i = 0; i < 12; ++i) {
        const auto key = layout::keypadKey(i);
        picBtn_[i] = makeHiddenPicture(QStringLiteral("picBtn_%1").arg(i),
                                       skin::keyPressed(i, QSize(px(key.width), px(key.height))), this);
        place(picBtn_[i], layout::hiddenPicture);
    }
    picBtn_[12] = makeHiddenPicture(QStringLiteral("picBtn_12"),
                                    skin::callPressed(QSize(px(layout::imgCall.width), px(layout::imgCall.height))),
                                    this);
    place(picBtn_[12], layout::hiddenPicture);

    lblNumber_ = makeLabel(QStringLiteral("lblNumber"), {}, this, Qt::AlignLeft | Qt::AlignVCenter);
    lblNumber_->setStyleSheet(QStringLiteral("color: grey"));
    lblNumber_->setAccessibleDescription(QStringLiteral("Account number"));
    place(lblNumber_, layout::lblNumber);
    lblVersion_ = makeLabel(QStringLiteral("lblVersion"), {}, this, Qt::AlignRight | Qt::AlignVCenter);
    lblVersion_->setStyleSheet(QStringLiteral("color: #c8d0dc"));
    lblVersion_->setAccessibleDescription(QStringLiteral("Version"));
    place(lblVersion_, layout::lblVersion);
    imgHyperlink_ = new ImageButton(QStringLiteral("imgHyperlink"), QStringLiteral("Home page"), this);
    imgHyperlink_->setToolTip(QString::fromStdU16String(services_.endpoints.homePage()));
    place(imgHyperlink_, layout::imgHyperlink);

    static const char* const keyNames[12] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "*", "#"};
    for (int i = 0; i < 12; ++i) {
        ImgNumber_[i] = new ImageButton(QStringLiteral("ImgNumber_%1").arg(i), QString::fromLatin1(keyNames[i]), this);
        place(ImgNumber_[i], layout::keypadKey(i));
    }
    imgCall_ = new ImageButton(QStringLiteral("imgCall"), QStringLiteral("Call"), this);
    imgCall_->setToolTip(QStringLiteral("Make a call and receive a call"));
    place(imgCall_, layout::imgCall);
    imgOption_ = new ImageButton(QStringLiteral("imgOption"), QStringLiteral("Sign out"), this);
    imgOption_->setToolTip(QStringLiteral("Sign Out"));
    place(imgOption_, layout::imgOption);
    imgDiscon_ = new ImageButton(QStringLiteral("imgDiscon"), QStringLiteral("Hang up"), this);
    imgDiscon_->setToolTip(QStringLiteral("Terminate a call"));
    place(imgDiscon_, layout::imgDiscon);

    // Transparent cover over the keypad and the call buttons: it takes their
    // mouse clicks until the first successful sign-in.
    lblBlock_ = new QWidget(this);
    lblBlock_->setObjectName(QStringLiteral("lblBlock"));
    place(lblBlock_, layout::lblBlock);
    lblBlock_->raise();

    const auto makeTimer = [this](const QString& name, int interval, void (Pelex_MSN::*tick)()) {
        auto* timer = new QTimer(this);
        timer->setObjectName(name);
        timer->setInterval(interval);
        connect(timer, &QTimer::timeout, this, tick);
        return timer;
    };
    tmrRingRing_ = makeTimer(QStringLiteral("tmrRingRing"), 2000, &Pelex_MSN::tmrRingRing_Timer);
    tmrProcessing_ = makeTimer(QStringLiteral("tmrProcessing"), 2000, &Pelex_MSN::tmrProcessing_Timer);
    CorvoTimer_ = makeTimer(QStringLiteral("CorvoTimer"), 1000, &Pelex_MSN::CorvoTimer_Timer);
    tmrSignIn_ = makeTimer(QStringLiteral("tmrSignIn"), int(services_.signInTimeout.count()),
                           &Pelex_MSN::tmrSignIn_Timer);
    tmrSignIn_->setSingleShot(true);
}

void Pelex_MSN::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, skin_);
}

void Pelex_MSN::retireEngine() {
    if (!rtc_.engine) return;
    rtc_.relay->silence();
    retired_.push_back(std::move(rtc_));
    rtc_ = {};
    // The engine may be in the middle of raising an event: destroy it once
    // control is back in the event loop.
    QTimer::singleShot(0, this, [this] { retired_.clear(); });
}

void Pelex_MSN::message(const std::u16string& text, const std::u16string& title) {
    services_.messageBox->show(text, title, platform::MessageIcon::Information);
}

void Pelex_MSN::hideEvent(QHideEvent* event) {
    // The host hid the control itself: sign out. Not when the window around
    // it is minimised or hidden (to the tray): the phone keeps its calls then.
    if (!event->spontaneous() && isHidden() && !destroying_) UserControl_Terminate();
    QWidget::hideEvent(event);
}

bool Pelex_MSN::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblcall_) {
        if (event->type() == QEvent::KeyPress) return lblcall_KeyPress(static_cast<QKeyEvent*>(event));
        if (event->type() == QEvent::KeyRelease) lblcall_KeyUp();
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace pelex::control
