#pragma once
// Long work shows its progress: once a step has run for about half a second, a
// progress bar (rows done of all rows) appears over the window, beside the
// hourglass, and follows the work until it ends.
#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class QProgressDialog;
class QWidget;

class LongWork {
public:
    // cancellable: the bar has a Cancel button (and Esc), which keepGoing reports.
    LongWork(QWidget* window, QString label, bool cancellable = false);
    ~LongWork();
    LongWork(const LongWork&) = delete;
    LongWork& operator=(const LongWork&) = delete;

    // Rows done of all rows (0: not known). Cheap when called often.
    void operator()(qsizetype done, qsizetype total);
    std::function<void(qsizetype, qsizetype)> callback()
    {
        return [this](qsizetype done, qsizetype total) { (*this)(done, total); };
    }

    // For work that waits on another thread: shows the bar once the work has
    // run long enough, lets the user act on it, and says whether to go on.
    bool keepGoing();

    // How long work runs before its progress shows (tests set 0).
    static void setDelay(int milliseconds);
    // Sees every update that the bar shows (tests).
    static void setObserver(std::function<void(const QString&, qsizetype, qsizetype)> observer);

private:
    void show();
    QPointer<QWidget> window_;
    QString label_;
    bool cancellable_ = false;
    QElapsedTimer started_;
    QElapsedTimer lastShown_;
    std::unique_ptr<QProgressDialog> dialog_;
};
