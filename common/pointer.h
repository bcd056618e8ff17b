#pragma once
// A window's mouse pointer: default arrow (0), hourglass (11) or its custom
// image (99), with the hover rules: the hand over push buttons, the arrow over
// the window's other surfaces, and neither while the hourglass shows.
#include <QCursor>
#include <QObject>
#include <optional>

class QWidget;

enum MousePointerValue : int { vbDefault = 0, vbHourglass = 11, vbCustom = 99 };

class WindowPointer : public QObject {
public:
    // withArrowOverWindow: moving over the window's own background shows the arrow.
    explicit WindowPointer(QWidget* window, bool withArrowOverWindow = true);

    int MousePointer() const { return value_; }
    void setMousePointer(int value);
    void setMouseIcon(const std::optional<QCursor>& cursor);

    void handOver(QWidget* widget);  // a push button
    void arrowOver(QWidget* widget); // background, frames, boxes, lists, the grid
    void noRuleOver(QWidget* widget); // a surface that leaves the pointer as it is

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watch(QWidget* widget, int value);
    // The rule of the surface under the mouse: the nearest surface with a rule,
    // from the widget under the mouse up to the window.
    void applyRuleAt(QWidget* under);
    QWidget* window_;
    int value_ = vbDefault;
    std::optional<QCursor> icon_;
};

class Trap;

// The load steps every window shares: if the hand-cursor file exists beside the
// program (testStep), it becomes the window's custom pointer image (loadStep).
void LoadHandPointer(Trap& trap, int testStep, int loadStep, WindowPointer& pointer);

// Shows the hourglass over the whole program for the life of the object (a
// step of a window that has no WindowPointer at hand, such as the grid's).
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Shows the hourglass on a window for the life of the object.
class BusyPointer {
public:
    explicit BusyPointer(WindowPointer& pointer) : pointer_(pointer) { pointer_.setMousePointer(vbHourglass); }
    ~BusyPointer() { pointer_.setMousePointer(vbDefault); }

private:
    WindowPointer& pointer_;
};
