#pragma once
// The application object: an error that escapes an untrapped handler is caught
// at the event dispatch and shown; the program goes on.
#include <QApplication>

class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Shows an error that no handler trapped.
void ReportUntrappedError(std::exception_ptr error);
