#pragma once
// A modal window that only its own buttons and its close box close: Escape
// does nothing there, so nothing typed into it is thrown away by a key.
#include <QDialog>

class ModalWindow : public QDialog {
public:
    using QDialog::QDialog;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
