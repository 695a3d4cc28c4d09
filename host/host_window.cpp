#include "host/host_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QToolButton>
#include <QTimer>
#include <QVBoxLayout>

namespace pelex::host {

HostWindow::HostWindow(std::unique_ptr<ControlLibrary> library, std::string class_id, const QString& problem)
    : library_(std::move(library)), class_id_(std::move(class_id)) {
    setWindowTitle(QStringLiteral("Pelex soft phone - Messenger activity"));
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    controlArea_ = new QWidget(central);
    auto* layout = new QVBoxLayout(controlArea_);
    layout->setContentsMargins(0, 0, 0, 0);
    problem_ = new QLabel(controlArea_);
    problem_->setWordWrap(true);
    problem_->setAccessibleName(QStringLiteral("Problem"));
    problem_->setMargin(12);
    problem_->hide();
    layout->addWidget(problem_);
    column->addWidget(controlArea_);
    buildMissedCallNote(central);
    column->addWidget(missedNote_);
    setCentralWidget(central);

    auto* menu = menuBar()->addMenu(QStringLiteral("&Activity"));
    menu->addAction(QStringLiteral("&Show"), this, &HostWindow::showControl);
    menu->addAction(QStringLiteral("&Hide"), this, &HostWindow::hideControl);
    menu->addAction(QStringLiteral("&Close activity"), this, &HostWindow::destroyControl);
    menu->addAction(QStringLiteral("&Start activity"), this, &HostWindow::createControl);
    menu->addSeparator();
    missedMenu_ = menu->addMenu(QStringLiteral("&Missed calls"));
    missedMenu_->setEnabled(false);
    menu->addSeparator();
    menu->addAction(QStringLiteral("&Quit"), qApp, &QCoreApplication::quit);
    connect(&missed_, &MissedCalls::changed, this, &HostWindow::updateMissedCalls);

    if (!library_) showProblem(problem);
}

HostWindow::~HostWindow() {
    control_.reset();  // the control goes before the library it came from
}

QWidget* HostWindow::controlWidget() const { return control_ ? control_->widget() : nullptr; }

QString HostWindow::problem() const { return problem_->isVisible() || !control_ ? problem_->text() : QString(); }

bool HostWindow::createControl() {
    if (control_) return true;
    if (!library_) return false;
    std::string error;
    PelexClassFactory* factory = library_->factory(class_id_, error);
    if (factory) control_ = HostedControl::create(factory, controlArea_, error);
    if (!control_) {
        showProblem(QString::fromStdString(error));
        return false;
    }
    problem_->hide();
    QWidget* w = control_->widget();
    w->installEventFilter(this);
    // The control keeps its own fixed extent; the window fits around it.
    w->move(0, 0);
    controlArea_->setFixedSize(w->size());
    w->show();
    adjustSize();
    control_->setEvents({
        [this](std::uint32_t state, const std::string& display, const std::string& caller) {
            setLine(phoneLine(state, display, caller));
        },
        [this](const std::string& caller) {
            const QString number = shownText(caller);
            missed_.add(number, QDateTime::currentDateTime());
            emit callMissed(number);
        },
    });
    return true;
}

void HostWindow::hideControl() {
    if (control_) control_->hide();
}

void HostWindow::showControl() {
    if (control_) control_->show();
}

void HostWindow::destroyControl() {
    if (!control_) return;
    control_.reset();
    setLine({});
    showProblem(QStringLiteral("The Pelex soft phone activity was closed. Choose Activity, Start activity to open it again."));
    controlArea_->setMinimumSize(0, 0);
    controlArea_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

void HostWindow::setLine(const PhoneLine& line) {
    if (line == line_) return;
    line_ = line;
    emit lineChanged(line_);
}

bool HostWindow::eventFilter(QObject* watched, QEvent* event) {
    if (!painted_ && event->type() == QEvent::Paint && watched == controlWidget()) {
        painted_ = true;
        // Reported once the paint event has been handled.
        QTimer::singleShot(0, this, &HostWindow::controlPainted);
    }
    return QMainWindow::eventFilter(watched, event);
}

namespace {

DialOutcome outcomeOf(PelexResult result, const QString& number) {
    switch (result) {
        case PELEX_S_OK: return {DialOutcome::Kind::Dialling, number, {}};
        case PELEX_S_FALSE: return {DialOutcome::Kind::Waiting, number, {}};
        case PELEX_E_LINE_BUSY:
            return {DialOutcome::Kind::LineBusy, number,
                    QStringLiteral("Please disconnect the line before you make another call.")};
        default: return {DialOutcome::Kind::NotDialable, number, QStringLiteral("The phone refused to dial %1.").arg(number)};
    }
}

}  // namespace

CallLink HostWindow::dialLink(const QString& link, std::function<void(const DialOutcome&)> done) {
    CallLink parsed = parseCallLink(link);
    if (parsed.ok() && !control_) parsed = {{}, QStringLiteral("The phone cannot dial %1: %2").arg(parsed.number, problem())};
    if (!parsed.ok()) {
        if (done) done({DialOutcome::Kind::NotDialable, {}, parsed.error});
        post([this, why = parsed.error] {
            present();
            QMessageBox box(QMessageBox::Warning, QStringLiteral("PelexMSN"), why, QMessageBox::Ok, this);
            box.setObjectName(QStringLiteral("PelexLinkRefused"));
            box.exec();
        });
        return parsed;
    }
    post([this, number = parsed.number, done = std::move(done)] {
        present();
        const DialOutcome outcome =
            control_ ? outcomeOf(control_->dial(number.toStdString()), number)
                     : DialOutcome{DialOutcome::Kind::NotDialable, number,
                                   QStringLiteral("The phone cannot dial %1: %2").arg(number, problem())};
        if (done) done(outcome);
    });
    return parsed;
}

void HostWindow::present() {
    if (isMinimized()) showNormal();
    else show();
    raise();
    activateWindow();
}

void HostWindow::raiseWithoutFocus() {
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    if (isMinimized()) showNormal();
    else show();
    raise();
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    QApplication::alert(this);
    // Sent now: from a timer, with nothing to repaint, the window system
    // would hear of it only at the next event that comes its way.
    QGuiApplication::sync();
}

void HostWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange) emit activationChanged();
    QMainWindow::changeEvent(event);
}

void HostWindow::closeEvent(QCloseEvent* event) {
    if (closeHides_) {
        hide();
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

// A note under the control: the missed calls the user has not seen yet,
// until they say so.
void HostWindow::buildMissedCallNote(QWidget* parent) {
    missedNote_ = new QWidget(parent);
    missedNote_->setObjectName(QStringLiteral("missedCallNote"));
    auto* row = new QHBoxLayout(missedNote_);
    row->setContentsMargins(6, 4, 6, 4);
    missedText_ = new QLabel(missedNote_);
    missedText_->setWordWrap(true);
    missedText_->setAccessibleDescription(QStringLiteral("Missed calls"));
    row->addWidget(missedText_, 1);
    auto* seen = new QToolButton(missedNote_);
    seen->setText(QStringLiteral("OK"));
    seen->setAccessibleName(QStringLiteral("Seen"));
    seen->setToolTip(QStringLiteral("Clear the missed calls note"));
    seen->setFocusPolicy(Qt::TabFocus);  // a click leaves the keyboard in the phone
    connect(seen, &QToolButton::clicked, &missed_, &MissedCalls::markSeen);
    row->addWidget(seen, 0, Qt::AlignTop);
    missedNote_->hide();
}

void HostWindow::updateMissedCalls() {
    missedText_->setText(missed_.noteText());
    missedNote_->setVisible(missed_.unseen() > 0);
    // The session's missed calls stay in the menu, each one to call back.
    missedMenu_->clear();
    for (const auto& call : missed_.calls()) {
        QAction* back = missedMenu_->addAction(missedCallText(call), this, [this, caller = call.caller] { dialLink(caller); });
        back->setEnabled(parseCallLink(call.caller).ok());
    }
    missedMenu_->setEnabled(!missed_.calls().empty());
    adjustSize();
}

void HostWindow::showProblem(const QString& text) {
    problem_->setText(text);
    problem_->show();
}

}  // namespace pelex::host
