#include "error.h"

QString DescribeException(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const AppError& e) {
        return e.description();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}
