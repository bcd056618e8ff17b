#include "progress.h"

#include "Main.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <QWidget>

namespace {
int delay = 500;
std::function<void(const QString&, qsizetype, qsizetype)>& observer()
{
    static std::function<void(const QString&, qsizetype, qsizetype)> o;
    return o;
}
} // namespace

void LongWork::setDelay(int milliseconds) { delay = milliseconds; }
void LongWork::setObserver(std::function<void(const QString&, qsizetype, qsizetype)> o) { observer() = std::move(o); }

LongWork::LongWork(QWidget* window, QString label, bool cancellable)
    : window_(window), label_(std::move(label)), cancellable_(cancellable)
{
    started_.start();
}

LongWork::~LongWork() = default;

void LongWork::show()
{
    dialog_ = std::make_unique<QProgressDialog>(label_, cancellable_ ? QStringLiteral("Cancel") : QString(), 0, 0,
                                                window_);
    dialog_->setWindowTitle(Main::ApplicationTitle());
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->setMinimumDuration(0);
    dialog_->setAutoReset(false);
    dialog_->setAutoClose(false);
    dialog_->setCursor(Qt::WaitCursor);
    dialog_->show();
    lastShown_.invalidate();
}

bool LongWork::keepGoing()
{
    if (!dialog_ && started_.elapsed() >= delay) {
        show();
        if (observer())
            observer()(label_, 0, 0);
    }
    if (!dialog_)
        return true;
    // The bar is window-modal: the user can reach only its Cancel button.
    QCoreApplication::processEvents();
    return !dialog_->wasCanceled();
}

void LongWork::operator()(qsizetype done, qsizetype total)
{
    if (!dialog_) {
        if (started_.elapsed() < delay)
            return;
        show();
    }
    const bool last = total > 0 && done >= total;
    if (lastShown_.isValid() && lastShown_.elapsed() < 100 && !last)
        return;
    lastShown_.start();
    // Ranges beyond an int are shown in thousands.
    const int scale = total > 2000000000 || done > 2000000000 ? 1000 : 1;
    dialog_->setMaximum(int(total / scale));
    dialog_->setValue(int(std::min(done, total > 0 ? total : done) / scale));
    if (observer())
        observer()(label_, done, total);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
