#include "host/host_window.h"

#include <QEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <QVBoxLayout>

namespace pelex::host {

HostWindow::HostWindow(std::unique_ptr<ControlLibrary> library, std::string class_id, const QString& problem)
    : library_(std::move(library)), class_id_(std::move(class_id)) {
    setWindowTitle(QStringLiteral("Pelex soft phone - Messenger activity"));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    problem_ = new QLabel(central);
    problem_->setWordWrap(true);
    problem_->setAccessibleName(QStringLiteral("Problem"));
    problem_->setMargin(12);
    problem_->hide();
    layout->addWidget(problem_);
    setCentralWidget(central);

    auto* menu = menuBar()->addMenu(QStringLiteral("&Activity"));
    menu->addAction(QStringLiteral("&Show"), this, &HostWindow::showControl);
    menu->addAction(QStringLiteral("&Hide"), this, &HostWindow::hideControl);
    menu->addAction(QStringLiteral("&Close activity"), this, &HostWindow::destroyControl);
    menu->addAction(QStringLiteral("&Start activity"), this, &HostWindow::createControl);
    menu->addSeparator();
    menu->addAction(QStringLiteral("&Quit"), this, &QWidget::close);

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
    if (factory) control_ = HostedControl::create(factory, centralWidget(), error);
    if (!control_) {
        showProblem(QString::fromStdString(error));
        return false;
    }
    problem_->hide();
    QWidget* w = control_->widget();
    w->installEventFilter(this);
    // The control keeps its own fixed extent; the window fits around it.
    w->move(0, 0);
    centralWidget()->setFixedSize(w->size());
    w->show();
    adjustSize();
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
    showProblem(QStringLiteral("The Pelex soft phone activity was closed. Choose Activity, Start activity to open it again."));
    centralWidget()->setMinimumSize(0, 0);
    centralWidget()->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
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

void HostWindow::showProblem(const QString& text) {
    problem_->setText(text);
    problem_->show();
}

}  // namespace pelex::host
