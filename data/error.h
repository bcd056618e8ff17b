#pragma once
// Every failure inside the program is an exception carrying a description that
// the error report can show as it stands.
#include <QString>
#include <stdexcept>

class AppError : public std::runtime_error {
public:
    explicit AppError(const QString& description)
        : std::runtime_error(description.toStdString()), description_(description) {}
    const QString& description() const { return description_; }

private:
    QString description_;
};

// No row stands there (any more): the table was read, and is shorter than shown.
class RowGoneError : public AppError {
public:
    using AppError::AppError;
};

// The description of whatever was thrown, for the error report.
QString DescribeException(std::exception_ptr error);
