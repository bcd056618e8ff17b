#include "pointer.h"

#include "Main.h"
#include "errorreport.h"

#include <QEvent>
#include <QWidget>

namespace {
const char* kHoverValue = "vestrelHoverPointer";
}

WindowPointer::WindowPointer(QWidget* window) : QObject(window), window_(window)
{
    arrowOver(window);
}

void WindowPointer::setMousePointer(int value)
{
    value_ = value;
    switch (value) {
    case vbHourglass:
        window_->setCursor(Qt::WaitCursor);
        break;
    case vbCustom:
        if (icon_)
            window_->setCursor(*icon_);
        else
            window_->setCursor(Qt::ArrowCursor);
        break;
    default:
        window_->setCursor(Qt::ArrowCursor);
        break;
    }
}

void WindowPointer::setMouseIcon(const std::optional<QCursor>& cursor) { icon_ = cursor; }

void WindowPointer::watch(QWidget* widget, int value)
{
    widget->setProperty(kHoverValue, value);
    widget->installEventFilter(this);
}

void WindowPointer::handOver(QWidget* widget) { watch(widget, vbCustom); }
void WindowPointer::arrowOver(QWidget* widget) { watch(widget, vbDefault); }

bool WindowPointer::eventFilter(QObject* watched, QEvent* event)
{
    // Enter reaches the surface under the pointer alone (a parent gets it again
    // when the pointer comes back from a child), unlike moves, which bubble up.
    if (event->type() == QEvent::Enter) {
        const QVariant target = watched->property(kHoverValue);
        if (target.isValid() && value_ != vbHourglass && value_ != target.toInt())
            setMousePointer(target.toInt());
    }
    return false;
}

void LoadHandPointer(Trap& trap, int testStep, int loadStep, WindowPointer& pointer)
{
    if (trap.test(testStep, [] { return Main::FileExists(Main::ProgramFolder() + QLatin1String("/HAND-M.CUR")); }))
        trap(loadStep, [&] { pointer.setMouseIcon(Main::LoadHandCursor()); });
}
