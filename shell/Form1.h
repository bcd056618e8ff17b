#pragma once
// The start window: the user names the database file here. Its path box is the
// program's only record of the current database path.
#include "platform/filedialog.h"
#include "common/pointer.h"

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class Form1 : public QWidget {
public:
    Form1();

    // The path the next load puts in the box in place of the remembered one
    // (and does not open by itself: the caller goes on as "Next >" does).
    static void OpenOnLoad(const QString& path);
    void Form_Load();
    void PushButton1_Click(); // "Test Connection"
    void PushButton2_Click(); // "Load Sample/Example Database"
    void PushButton3_Click(); // "Next >"
    void PushButton5_Click(); // "..."
    void PushButton7_Click(); // "Help"

    QGroupBox* Frame1;
    QLabel* Label7;
    QLineEdit* Text1;
    QPushButton* PushButton5;
    QPushButton* PushButton1;
    QPushButton* PushButton7;
    QPushButton* PushButton2;
    QPushButton* PushButton3;
    CommonDialog CommonDialog1;
    WindowPointer Pointer;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A file dropped on the window: its path goes in the box, as "..." puts it.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void Text1_Change(const QString& text);
};
