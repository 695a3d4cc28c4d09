#pragma once
// Pelex_MSN: the soft-phone control. A telephone drawn on the widget with a
// small display, a sign-in panel, a twelve-key keypad and call, hang-up and
// sign-out buttons. It owns the account-server protocol object `cvp` with
// its socket `TCP1`, and at most one SIP call engine `RTC1`.
//
// The handlers are grouped by flow, one file each:
//   pelex_msn.cpp      start-up, children, panels, extent, engine ownership
//   sign_in.cpp        sign-in, socket handlers, login code, sign-out, hide
//   saved_settings.cpp profile and options in the settings store
//   dial_pad.cpp       keypad, number box keys, call and hang-up, links
//   call_status.cpp    engine events, display texts, timers and sounds
//   audio_menu.cpp     the audio settings entry and the note on missing devices
//   keyboard.cpp       tab chain, Enter in the sign-in boxes, shortcuts, focus
//   call_links.cpp     numbers handed over from call links, dialled when the line is idle
//   line_state.h       the line's display texts and what they mean
//   line_report.cpp    the line as the host is told of it, and missed calls
//
// Every child carries the object name of its role (`imgLogin`, `txtusrname`,
// `ImgNumber_0` ... `ImgNumber_11`, `picBtn_12`) and, where a user can operate
// or read it, an accessible name in words.

#include <QPointer>
#include <QWidget>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "account_protocol/corvo_protocol.h"
#include "account_protocol/receive_loop.h"
#include "control/call_engine.h"
#include "control/control_services.h"
#include "control/line_state.h"

class QCheckBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QTimer;

namespace pelex::control {

class ImageButton;

class Pelex_MSN : public QWidget {
    Q_OBJECT
public:
    /// Runs the start-up: protocol object, extent, saved options and
    /// profile, sign-in button picture, version label. Opens no connection
    /// and creates no engine.
    explicit Pelex_MSN(ControlServices services, QWidget* parent = nullptr);
    ~Pelex_MSN() override;

    // The six automation methods; each runs what the user's action runs.
    void imgCall_Click();
    void imgDiscon_Click();
    void imgLogin_Click();
    void imgOption_Click();
    void newRTC1();
    void UserControl_Terminate();

    /// The line as the call button sees it: idle, a call offered, busy with
    /// a call, or not ready for calls (not signed in, signing in or out,
    /// registering, registration failed).
    LineState lineState() const;
    /// Whether the display panel shows (the sign-in panel does not cover it).
    bool signedIn() const;
    /// The display's text: the engine's words for the line.
    QString displayText() const;
    /// The number offering a call while the line is Incoming, else empty.
    QString offeringCaller() const;

    /// What became of a number handed over with dialNumber.
    enum class LinkDial {
        Dialling,   ///< the line was idle: the call is being placed
        Waiting,    ///< kept until the line is idle (after the sign-in if need be)
        LineBusy,   ///< refused: a call is offered or under way (the user is told)
        NotANumber, ///< refused: not a dialable number (nothing changed)
    };
    /// Puts `number` (digits, "+", "*", "#" only) into the number box and
    /// dials it once the line is idle: at once when it is, else when it
    /// becomes idle within a minute of this call or of the sign-in it waits
    /// for. Later than that, or once the user has edited the number box, the
    /// number stays in the box undialled. While a call is offered or under
    /// way the number is refused with the call button's message, which
    /// opens from the event loop after this returns.
    LinkDial dialNumber(const QString& number);
    /// The number waiting for the line to become idle, or empty.
    QString pendingNumber() const { return pendingLink_ ? pendingLink_->number : QString(); }
    /// How long after the hand-over (or the sign-in it waits for) a number
    /// may still be dialled.
    static constexpr std::chrono::seconds kLinkWaitsFor{60};

    // Timer ticks (the timers call them; tests may call them directly).
    void tmrRingRing_Timer();
    void tmrProcessing_Timer();
    void CorvoTimer_Timer();
    void tmrSignIn_Timer();

    /// Opens the engine's audio tuning dialog (the context menu's "Audio
    /// settings..." and Ctrl+Shift+A); without an engine, or once it was told
    /// to sign out, says to sign in first.
    void openAudioSettings();

    /// The SIP account taken from the last login code.
    struct SipAccount {
        std::u16string userName, password, serverIP, port;
    };
    const SipAccount& sipAccount() const { return sip_; }
    /// Elapsed seconds of the current call.
    std::int64_t callTime() const { return callTime_; }
    bool callTimeStarted() const { return callTimeStarted_; }
    /// The current engine, or nullptr when `RTC1` is empty.
    CallEngine* engine() const { return rtc_.engine.get(); }
    account_protocol::CorvoProtocol& protocol() { return cvp_; }

signals:
    /// The line's state, display text or sign-in changed (see lineState,
    /// displayText, signedIn, offeringCaller).
    void lineChanged();
    /// A call offered by `caller` ended without the user answering or
    /// declining it (the caller gave up, or the engine stopped offering it).
    void callMissed(const QString& caller);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    class EngineRelay;
    class SocketRelay;
    class ProtocolRelay;

    // Start-up and ownership (pelex_msn.cpp).
    void buildChildren();
    void setExtent();
    int px(int twips) const;
    void retireEngine();
    void message(const std::u16string& text, const std::u16string& title);
    void showEvent(QShowEvent* event) override;

    // Sign-in flow (sign_in.cpp).
    void TCP1_Connect();
    void TCP1_DataArrival();
    void TCP1_Close();
    void TCP1_Error(const QString& description);
    void cvp_LoginCode(const QString& text);
    void cvp_InvalidLogin();
    void restoreSignIn();
    void failSignIn(const QString& text);
    QString accountServerText() const;

    // Keyboard (keyboard.cpp).
    void setUpKeyboard();
    void updateKeyboardReach();
    void focusSignInBoxes();
    void focusNumberBox();

    // Numbers from call links (call_links.cpp).
    void dialPendingNumber();
    void renewPendingNumber();
    void forgetPendingNumber();

    // The line as the host is told of it (line_report.cpp).
    void tellLine();
    /// The user has answered, declined or otherwise dealt with the offered call.
    void offerHandled() { offeredBy_.reset(); }

    // Saved profile and options (saved_settings.cpp).
    void loadSavedSettings();
    void SaveLoginSettings();
    /// What SaveProfile left out because the scramble would give it back
    /// changed (stored empty instead).
    struct UnsavedProfile {
        bool number = false;
        bool password = false;
    };
    UnsavedProfile SaveProfile();
    void tellUnsavedProfile(const UnsavedProfile& unsaved);
    void LoadProfile();
    void SaveOptions();
    void LoadOptions();
    void chkAutoLogin_Click();

    // Dial pad and call buttons (dial_pad.cpp).
    void connectDialPad();
    void ImgNumber_Click(int index);
    bool lblcall_KeyPress(QKeyEvent* event);
    void lblcall_KeyUp();
    void dial();
    void imgHyperlink_Click();
    void lblregister_Click();

    // Call status (call_status.cpp).
    void RTC1_Status(const std::u16string& strStatus);
    void RTC1_RegOK(std::int16_t state);
    void RTC1_RegFail(const std::u16string& status);
    void RTC1_SessionStateText(const std::u16string& stateText);
    void RTC1_Processing();
    void RTC1_Ringing();
    void RTC1_Answered();
    void RTC1_Connected();
    void RTC1_CallDisconnect();
    void RTC1_SignOut();
    void stopRinging();
    void stopRingBack();
    void stopAlert(int sound);

    // Audio settings and sound notes (audio_menu.cpp).
    void buildAudioMenu();
    void showAudioMenu(const QPoint& at);
    void showSoundNote(const std::u16string& text);

    ControlServices services_;
    std::unique_ptr<ProtocolRelay> protocolRelay_;
    std::unique_ptr<SocketRelay> socketRelay_;
    account_protocol::CorvoProtocol cvp_;
    account_protocol::ReceiveLoop receiveLoop_;

    struct EngineSlot {
        std::unique_ptr<EngineRelay> relay;  // outlives the engine it serves
        std::unique_ptr<CallEngine> engine;
    };
    EngineSlot rtc_;
    std::vector<EngineSlot> retired_;  // released engines, destroyed once the event loop is back

    SipAccount sip_;
    std::int64_t callTime_ = 0;
    bool callTimeStarted_ = false;
    std::u16string strALogin_;
    std::u16string strSProfile_;
    std::optional<std::size_t> unsavedProfileTold_;  // the sign-in last told it was not saved in full
    int alertPlaying_ = 0;  // the alert sound last started (129 or 130), 0 when none
    // Where a sign-in stands: waiting for the account server (the bounded
    // wait runs), or handling its answer (which may hold a modal box open
    // for as long as the user reads it; no wait runs then).
    enum class SignIn { Off, Waiting, Answering };
    SignIn signIn_ = SignIn::Off;
    // A number handed over to dial once the line is idle, and by when.
    struct PendingLink {
        QString number;
        std::chrono::steady_clock::time_point dialBy;
    };
    std::optional<PendingLink> pendingLink_;
    std::optional<QString> offeredBy_;  // caller of the call on offer that the user has not dealt with
    bool signedOut_ = false;  // the engine was told to sign out (it may still be cleaning up)
    bool destroying_ = false;
    QPixmap skin_;

    // Children (owned by Qt through their parents).
    QLabel* picLoginForm_ = nullptr;
    QLabel* picMainForm_ = nullptr;
    QLineEdit* txtusrname_ = nullptr;
    QLineEdit* txtPassword_ = nullptr;
    QCheckBox* chkSaveProfile_ = nullptr;
    QCheckBox* chkAutoLogin_ = nullptr;
    ImageButton* imgLogin_ = nullptr;
    QLabel* lblSignIn_ = nullptr;
    ImageButton* lblregister_ = nullptr;
    QLineEdit* lblcall_ = nullptr;
    QLabel* lblDisplay_ = nullptr;
    QLabel* lblCallStatus_ = nullptr;
    QLabel* lbltimer_ = nullptr;
    QLabel* lblNumber_ = nullptr;
    QLabel* lblVersion_ = nullptr;
    QLabel* lblSoundNote_ = nullptr;
    ImageButton* imgHyperlink_ = nullptr;
    std::array<ImageButton*, 12> ImgNumber_{};
    ImageButton* imgCall_ = nullptr;
    ImageButton* imgOption_ = nullptr;
    ImageButton* imgDiscon_ = nullptr;
    QWidget* lblBlock_ = nullptr;
    QLabel* picLogin0_ = nullptr;          // normal sign-in button picture
    QLabel* picbtn1_ = nullptr;            // pressed sign-in button picture
    std::array<QLabel*, 13> picBtn_{};     // pressed pictures: keys 0-11, call button 12
    QTimer* tmrRingRing_ = nullptr;
    QTimer* tmrProcessing_ = nullptr;
    QTimer* CorvoTimer_ = nullptr;
    QTimer* tmrSignIn_ = nullptr;
};

}  // namespace pelex::control
