// The phone by keyboard: the tab chain in reading order, Enter in the
// sign-in boxes, shortcuts for the call buttons (named in their tool tips)
// and where the focus goes when the panels change.
//
// Only what the user can see and reach is a tab stop: the hidden "Auto
// Login" box never is, the number box only while the display is uncovered,
// and the keypad and call buttons only once the block over them is gone.

#include <QCheckBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QShowEvent>

#include <vector>

#include "control/image_button.h"
#include "control/pelex_msn.h"

namespace pelex::control {

namespace {

// The shortcut of each call button.
const QKeySequence kCallKeys(Qt::CTRL | Qt::Key_Return);
const QKeySequence kHangUpKeys(Qt::Key_Escape);
const QKeySequence kSignOutKeys(Qt::CTRL | Qt::SHIFT | Qt::Key_Q);

}  // namespace

void Pelex_MSN::setUpKeyboard() {
    chkAutoLogin_->setFocusPolicy(Qt::NoFocus);

    std::vector<QWidget*> chain{imgHyperlink_, txtusrname_, txtPassword_, chkSaveProfile_, imgLogin_, lblregister_,
                                lblcall_,      imgCall_,    imgOption_,   imgDiscon_};
    for (int key : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 11}) chain.push_back(ImgNumber_[key]);
    for (std::size_t i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);

    // Enter in the number goes on to the password; Enter in the password
    // signs in, unless a sign-in is already under way.
    connect(txtusrname_, &QLineEdit::returnPressed, this, [this] { txtPassword_->setFocus(Qt::TabFocusReason); });
    connect(txtPassword_, &QLineEdit::returnPressed, this, [this] {
        if (!imgLogin_->isHidden()) imgLogin_->click();
    });

    // Each shortcut clicks its button, so it does exactly what a click does,
    // and like a click it is swallowed while the block covers the buttons.
    const auto shortcut = [this](ImageButton* button, const QKeySequence& keys) {
        auto* s = new QShortcut(keys, this);
        s->setContext(Qt::WidgetWithChildrenShortcut);
        s->setObjectName(button->objectName() + QStringLiteral("_shortcut"));
        connect(s, &QShortcut::activated, button, [this, button] {
            if (lblBlock_->isHidden()) button->click();
        });
        button->setToolTip(QStringLiteral("%1 (%2)").arg(button->toolTip(), keys.toString(QKeySequence::NativeText)));
    };
    shortcut(imgCall_, kCallKeys);
    shortcut(imgDiscon_, kHangUpKeys);
    shortcut(imgOption_, kSignOutKeys);
    imgLogin_->setToolTip(QStringLiteral("Sign in (Enter in the password box)"));

    updateKeyboardReach();
    focusSignInBoxes();
}

void Pelex_MSN::updateKeyboardReach() {
    lblcall_->setFocusPolicy(picLoginForm_->isHidden() ? Qt::StrongFocus : Qt::NoFocus);
    const Qt::FocusPolicy keypad = lblBlock_->isHidden() ? Qt::TabFocus : Qt::NoFocus;
    for (auto* key : ImgNumber_) key->setFocusPolicy(keypad);
    for (auto* button : {imgCall_, imgOption_, imgDiscon_}) button->setFocusPolicy(keypad);
}

void Pelex_MSN::focusSignInBoxes() { txtusrname_->setFocus(Qt::OtherFocusReason); }

void Pelex_MSN::focusNumberBox() { lblcall_->setFocus(Qt::OtherFocusReason); }

void Pelex_MSN::showEvent(QShowEvent* event) {
    // A host may have moved the focus elsewhere before showing the phone.
    if (!focusWidget() || !isAncestorOf(focusWidget())) {
        if (picLoginForm_->isHidden()) focusNumberBox();
        else focusSignInBoxes();
    }
    QWidget::showEvent(event);
}

}  // namespace pelex::control
