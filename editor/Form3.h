#pragma once
// The table data window: the open table in the grid, and the buttons around it.
#include "platform/filedialog.h"
#include "shell/pointer.h"

#include <QWidget>

class DataGrid;
class QLabel;
class QPushButton;

class Form3 : public QWidget {
public:
    Form3();

    void Form_Load();
    void PushButton1_Click(); // "< Back"
    void PushButton3_Click(); // "Quit"
    void PushButton4_Click(); // "Help"
    void cmdAddNewRow_Click(); // "Add New Row"
    void chkNewColumn_Click(); // "Add New Column"

    // Writes the pending row before the program ends; when the database refuses
    // it, asks whether to discard it. False: the user keeps the program open.
    bool CanEndProgram();

    QLabel* Label2;
    DataGrid* DataGrid1;
    QPushButton* PushButton1;
    QPushButton* PushButton4;
    QPushButton* PushButton5;
    QPushButton* PushButton2;
    QPushButton* PushButton6;
    QPushButton* PushButton3;
    CommonDialog CommonDialog1;
    WindowPointer Pointer;

protected:
    void closeEvent(QCloseEvent* event) override;
};
