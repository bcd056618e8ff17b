#include "Application.h"

#include "common/errorreport.h"
#include "data/error.h"

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

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
