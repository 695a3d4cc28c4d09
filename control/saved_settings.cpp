// The saved profile (account number and password, scrambled) and options
// (the two check boxes) in the settings store, and their loading at start-up.

#include <QCheckBox>
#include <QLineEdit>

#include <functional>
#include <optional>

#include "platform/failure_policy.h"
#include "codepage/codepage.h"
#include "control/pelex_msn.h"
#include "control/text_forms.h"
#include "crypto/credential_text.h"

namespace pelex::control {

using platform::skipStep;

namespace {

constexpr char16_t kProfileKey[] = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\VOIP\\Profile";
constexpr char16_t kOptionKey[] = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\VOIP\\Option";
constexpr char16_t kProfileStart[] = u"***";
constexpr char16_t kProfileEnd[] = u"\\\\\\";

// A stored option as a number: an integer, blanks around it allowed.
// Nothing for any other text ("Error" for a missing value among them).
std::optional<int> asNumber(const std::u16string& text) {
    bool ok = false;
    const int n = QString::fromStdU16String(text).trimmed().toInt(&ok);
    return ok ? std::optional<int>(n) : std::nullopt;
}

// A check box value 0, 1 or 2 (greyed); any other number cannot be set.
void setCheckValue(QCheckBox& box, const std::u16string& text) {
    const auto n = asNumber(text);
    if (!n || *n < 0 || *n > 2) return;
    box.setCheckState(*n == 0 ? Qt::Unchecked : *n == 1 ? Qt::Checked : Qt::PartiallyChecked);
}

std::u16string checkValueText(const QCheckBox& box) {
    return box.checkState() == Qt::Checked ? u"1" : box.checkState() == Qt::PartiallyChecked ? u"2" : u"0";
}

// The stored form of a box's text: trimmed, scrambled, framed. Nothing when
// the scramble would not give the text back as it is (see SurvivesScramble).
std::optional<std::u16string> scrambledForm(const QString& text) {
    const std::u16string trimmed = trimSpaces(text.toStdU16String());
    if (!codepage::isRepresentable(trimmed)) return std::nullopt;
    const std::string ansi = codepage::toAnsi(trimmed);
    if (!crypto::SurvivesScramble(ansi)) return std::nullopt;
    return kProfileStart + codepage::fromAnsi(crypto::ScrambleText(ansi)) + kProfileEnd;
}

// The framed form of the empty text: loads as an empty box.
std::u16string emptyForm() { return std::u16string(kProfileStart) + kProfileEnd; }

// The text stored in `value`: drop the first three characters, keep what
// stands before the end mark, unscramble it. Malformed values give "".
QString fromScrambledForm(const std::u16string& value) {
    if (value.size() <= 3) return {};
    std::u16string rest = value.substr(3);
    rest = rest.substr(0, rest.find(kProfileEnd));
    return QString::fromStdU16String(codepage::fromAnsi(crypto::UnscrambleText(codepage::toAnsi(rest))));
}

}  // namespace

// Start-up: options saved before (the "New" value exists) are loaded, and
// the profile too when "Save Profile" was stored as 1.
void Pelex_MSN::loadSavedSettings() {
    if (services_.store->ReadRegValue(kOptionKey, u"New") == u"Error") return;
    LoadOptions();
    if (asNumber(strSProfile_) == 1) LoadProfile();
}

void Pelex_MSN::SaveLoginSettings() {
    chkSaveProfile_->setEnabled(true);
    const UnsavedProfile unsaved = SaveProfile();
    SaveOptions();
    tellUnsavedProfile(unsaved);
}

// A text the scramble cannot carry is stored empty: the next start then
// shows an empty box rather than a changed text (or the one saved before),
// and a sign-in from it fails in a way the user can see and mend.
Pelex_MSN::UnsavedProfile Pelex_MSN::SaveProfile() {
    const auto name = scrambledForm(txtusrname_->text());
    const auto password = scrambledForm(txtPassword_->text());
    services_.store->CreateRegKey(kProfileKey);
    services_.store->SetRegValue(kProfileKey, u"UName", name.value_or(emptyForm()));
    services_.store->SetRegValue(kProfileKey, u"Pwd", password.value_or(emptyForm()));
    return {!name, !password};
}

// Says what was left out, once for each sign-in that left it out: signing in
// again with the same number and password in this session says nothing new.
void Pelex_MSN::tellUnsavedProfile(const UnsavedProfile& unsaved) {
    if (!unsaved.number && !unsaved.password) {
        unsavedProfileTold_.reset();
        return;
    }
    const std::size_t which = std::hash<std::u16string>{}(txtusrname_->text().toStdU16String() + u'\n' +
                                                           txtPassword_->text().toStdU16String());
    if (unsavedProfileTold_ == which) return;
    unsavedProfileTold_ = which;
    const bool both = unsaved.number && unsaved.password;
    const std::u16string what = both ? u"Your VOIP number and password were"
                                : unsaved.number ? u"Your VOIP number was"
                                                 : u"Your password was";
    message(what + u" not saved with the profile: " + (both ? u"they have" : u"it has") +
                u" a character the saved profile cannot keep (\u00FF at the 1st, 3rd, 5th... place, or a zero "
                u"character at the 2nd, 4th... place). Please type " +
                (both ? u"them" : u"it") + u" at the next sign-in.",
            u"VozeDezor");
}

void Pelex_MSN::LoadProfile() {
    txtusrname_->setText(fromScrambledForm(services_.store->ReadRegValue(kProfileKey, u"UName")));
    txtPassword_->setText(fromScrambledForm(services_.store->ReadRegValue(kProfileKey, u"Pwd")));
}

void Pelex_MSN::SaveOptions() {
    services_.store->CreateRegKey(kOptionKey);
    services_.store->SetRegValue(kOptionKey, u"ALogin", checkValueText(*chkAutoLogin_));
    services_.store->SetRegValue(kOptionKey, u"SProfile", checkValueText(*chkSaveProfile_));
    services_.store->SetRegValue(kOptionKey, u"New", u"1");
}

// Any failure is ignored and the next step runs.
void Pelex_MSN::LoadOptions() {
    skipStep([&] { strALogin_ = services_.store->ReadRegValue(kOptionKey, u"ALogin"); });
    skipStep([&] { strSProfile_ = services_.store->ReadRegValue(kOptionKey, u"SProfile"); });
    skipStep([&] { setCheckValue(*chkSaveProfile_, strSProfile_); });
    skipStep([&] { setCheckValue(*chkAutoLogin_, strALogin_); });
}

// Auto login implies saving the profile.
void Pelex_MSN::chkAutoLogin_Click() {
    if (chkAutoLogin_->checkState() == Qt::Checked) {
        chkSaveProfile_->setChecked(true);
        chkSaveProfile_->setEnabled(false);
    } else {
        chkSaveProfile_->setEnabled(true);
    }
}

}  // namespace pelex::control
