#pragma once
// The window that plays the messenger's part: it holds one control made from
// a loaded control library and can hide, show, destroy and re-create it. When
// no control can be shown it shows the reason instead.

#include <QMainWindow>
#include <memory>
#include <string>

#include "host/action_queue.h"
#include "host/call_link.h"
#include "host/control_library.h"

class QLabel;

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

public slots:
    /// Creates the control if there is none. Returns false (and shows why) on failure.
    bool createControl();
    void hideControl();
    void showControl();
    void destroyControl();

signals:
    /// The control's widget has been painted for the first time.
    void controlPainted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showProblem(const QString& text);

    std::unique_ptr<ControlLibrary> library_;
    std::string class_id_;
    std::unique_ptr<HostedControl> control_;
    QLabel* problem_ = nullptr;
    bool painted_ = false;
    ActionQueue actions_;
};

}  // namespace pelex::host
