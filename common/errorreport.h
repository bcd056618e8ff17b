#pragma once
// The uniform error report and the trap that guarded handlers run their steps through.
#include <QString>
#include <exception>
#include <utility>

// Support address named at the end of every error report, and the home page.
inline const QString kSupportEmail = QStringLiteral("support@pellorin.example");
inline const QString kHomePageAddress = QStringLiteral("https://www.pellorin.example/vestrel");

// The text of the report: description, CR LF, location, "at line ", step,
// two CRs, the request to e-mail a screenshot.
QString ApplicationErrorMessage(const QString& description, const QString& location, int line);

// Shows the report (warning icon, OK only, "Application Error") and waits for OK.
void ShowApplicationError(const QString& location, int line, const QString& description);

// One trap per handler. Each numbered step runs through it; a failing step is
// reported with its number and the handler goes on with the next statement.
class Trap {
public:
    explicit Trap(QString location) : location_(std::move(location)) {}

    // A numbered step. True when it ran without failing.
    template <typename F> bool operator()(int step, F&& statement)
    {
        line_ = step;
        return run(std::forward<F>(statement));
    }
    // A statement without a number of its own: it belongs to the last step.
    template <typename F> bool operator()(F&& statement) { return run(std::forward<F>(statement)); }

    // The condition of a conditional block; a failing condition enters the block.
    template <typename F> bool test(int step, F&& condition)
    {
        line_ = step;
        try {
            return condition();
        } catch (...) {
            report(std::current_exception());
            return true;
        }
    }


private:
    template <typename F> bool run(F&& statement)
    {
        try {
            statement();
            return true;
        } catch (...) {
            report(std::current_exception());
            return false;
        }
    }
    void report(std::exception_ptr error);

    QString location_;
    int line_ = 0;
};
