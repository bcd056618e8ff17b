#include "Application.h"

#include "common/errorreport.h"
#include "data/error.h"
#include "platform/heap.h"

namespace {
// Before Qt takes its first blocks.
int& PreparedArgc(int& argc)
{
    Heap::Prepare();
    return argc;
}
} // namespace

Application::Application(int& argc, char** argv) : QApplication(PreparedArgc(argc), argv) {}

void ReportUntrappedError(std::exception_ptr error)
{
    ShowApplicationError(QStringLiteral("in Vestrel2020/08/02.Application.EventDispatch "), 0,
                         DescribeException(error));
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportUntrappedError(std::current_exception());
        return false;
    }
}
