#include "pointer.h"

#include <QGuiApplication>

#include "Main.h"
#include "errorreport.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

namespace {
const char* kHoverValue = "vestrelHoverPointer";
}

namespace {
constexpr int kNoRule = -1;
}

WindowPointer::WindowPointer(QWidget* window, bool withArrowOverWindow) : QObject(window), window_(window)
{
    if (withArrowOverWindow)
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
    widget->setMouseTracking(true); // every movement, not only entering
    widget->installEventFilter(this);
}

void WindowPointer::handOver(QWidget* widget) { watch(widget, vbCustom); }
void WindowPointer::arrowOver(QWidget* widget) { watch(widget, vbDefault); }
void WindowPointer::noRuleOver(QWidget* widget) { widget->setProperty(kHoverValue, kNoRule); }

void WindowPointer::applyRuleAt(QWidget* under)
{
    for (QWidget* w = under; w; w = w == window_ ? nullptr : w->parentWidget()) {
        const QVariant rule = w->property(kHoverValue);
        if (!rule.isValid())
            continue;
        const int value = rule.toInt();
        if (value != kNoRule && value_ != vbHourglass && value_ != value)
            setMousePointer(value);
        return;
    }
}

bool WindowPointer::eventFilter(QObject* watched, QEvent* event)
{
    // Every movement applies the rule of the surface under the mouse; a move
    // that bubbles up to a parent is still judged by the surface it came from.
    auto* widget = static_cast<QWidget*>(watched);
    if (event->type() == QEvent::MouseMove) {
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        QWidget* child = widget->childAt(at);
        applyRuleAt(child ? child : widget);
    } else if (event->type() == QEvent::Enter) {
        applyRuleAt(widget);
    }
    return false;
}

void LoadHandPointer(Trap& trap, int testStep, int loadStep, WindowPointer& pointer)
{
    if (trap.test(testStep, [] { return Main::FileExists(Main::ProgramFolder() + QLatin1String("/HAND-M.CUR")); }))
        trap(loadStep, [&] { pointer.setMouseIcon(Main::LoadHandCursor()); });
}

WaitCursor::WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
WaitCursor::~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
