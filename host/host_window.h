#pragma once
// The window that plays the messenger's part: it holds one control made from
// a loaded control library and can hide, show, destroy and re-create it. When
// no control can be shown it shows the reason instead. It passes on what the
// control reports of its line, and keeps the session's missed calls, with a
// note under the control until the user has seen them.

#include <QMainWindow>
#include <memory>
#include <string>

#include "host/action_queue.h"
#include "host/call_link.h"
#include "host/control_library.h"
#include "host/missed_calls.h"
#include "host/phone_line.h"

class QLabel;
class QMenu;

namespace pelex::host {

/// What became of a number handed to the phone with HostWindow::dialLink.
struct DialOutcome {
    enum class Kind {
        Dialling,     ///< the line was idle: the call is being placed
        Waiting,      ///< kept until the line is idle (after the sign-in)
        NotDialable,  ///< the link names no dialable number, or there is no phone
        LineBusy,     ///< a call is offered or under way: refused
    };
    Kind kind;
    QString number;  ///< the number read from the link; empty when none could be
    QString error;   ///< why it was refused; empty when the phone took it
    bool taken() const { return kind == Kind::Dialling || kind == Kind::Waiting; }
};

class HostWindow : public QMainWindow {
    Q_OBJECT
public:
    /// A window with a control from `library` of class `class_id`; the
    /// library may be null, then `problem` is shown instead of the control.
    HostWindow(std::unique_ptr<ControlLibrary> library, std::string class_id, const QString& problem);
    ~HostWindow() override;

    /// The hosted control, or null when there is none (destroyed or never made).
    HostedControl* control() const { return control_.get(); }
    /// The control's widget, or null.
    QWidget* controlWidget() const;
    /// The text shown instead of the control (why there is none), or empty.
    QString problem() const;

    /// Runs `action` later from the event loop, after the actions posted
    /// before it and once no modal box is open (see ActionQueue).
    void post(std::function<void()> action) { actions_.post(std::move(action)); }
    /// Reads a call link (or a plain number) and hands its number to the
    /// control, which dials it once the line is idle; the window comes to
    /// the front. A link that cannot be dialled is refused in a message box
    /// over the window. Both happen later, from the event loop; the result
    /// says at once whether the link names a number. `done` learns what the
    /// phone made of it: at once for a link that names none, else once the
    /// control has taken or refused the number.
    CallLink dialLink(const QString& link, std::function<void(const DialOutcome&)> done = {});
    /// Shows the window in front of the others (restored if minimised).
    void present();
    /// Shows the window over the others (restored if minimised or hidden)
    /// without taking the keyboard from where the user is typing, and asks
    /// the desktop to draw attention to it.
    void raiseWithoutFocus();

    /// The line as the control last reported it (signed out without a control).
    const PhoneLine& line() const { return line_; }
    MissedCalls& missedCalls() { return missed_; }
    /// With a tray icon to come back from, closing the window hides it and
    /// the phone stays signed in; otherwise closing ends the phone.
    void setCloseHides(bool hides) { closeHides_ = hides; }

public slots:
    /// Creates the control if there is none. Returns false (and shows why) on failure.
    bool createControl();
    void hideControl();
    void showControl();
    void destroyControl();

signals:
    /// The control's widget has been painted for the first time.
    void controlPainted();
    /// The line changed (state, display text or offering caller).
    void lineChanged(const pelex::host::PhoneLine& line);
    /// An offered call ended unanswered; it is in missedCalls() already.
    void callMissed(const QString& caller);
    /// The window became the active window or stopped being it.
    void activationChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void showProblem(const QString& text);
    void setLine(const PhoneLine& line);
    void buildMissedCallNote(QWidget* parent);
    void updateMissedCalls();

    std::unique_ptr<ControlLibrary> library_;
    std::string class_id_;
    std::unique_ptr<HostedControl> control_;
    QWidget* controlArea_ = nullptr;  // the control, or the problem instead
    QLabel* problem_ = nullptr;
    QWidget* missedNote_ = nullptr;
    QLabel* missedText_ = nullptr;
    QMenu* missedMenu_ = nullptr;
    bool painted_ = false;
    bool closeHides_ = false;
    PhoneLine line_;
    MissedCalls missed_;
    ActionQueue actions_;
};

}  // namespace pelex::host
