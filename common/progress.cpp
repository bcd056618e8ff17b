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

LongWork::LongWork(QWidget* window, QString label) : window_(window), label_(std::move(label)) { started_.start(); }

LongWork::~LongWork() = default;

void LongWork::operator()(qsizetype done, qsizetype total)
{
    if (!dialog_) {
        if (started_.elapsed() < delay)
            return;
        dialog_ = std::make_unique<QProgressDialog>(label_, QString(), 0, 0, window_);
        dialog_->setWindowTitle(Main::ApplicationTitle());
        dialog_->setWindowModality(Qt::WindowModal);
        dialog_->setMinimumDuration(0);
        dialog_->setAutoReset(false);
        dialog_->setAutoClose(false);
        dialog_->setCursor(Qt::WaitCursor);
        dialog_->show();
        lastShown_.invalidate();
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
