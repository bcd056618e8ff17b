#pragma once
// The table data window: the open table in the grid, and the buttons around it.
#include "platform/filedialog.h"
#include "common/pointer.h"

#include <QWidget>

class DataGrid;
class QAction;
class QLabel;
class QMenu;
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
    void PushButton6_Click();  // "Export Table As.."
    void mnuTXT_Click();
    void mnuCSV_Click();
    void mnuXML_Click();
    void mnuXLS_Click();
    void mnuPDF_Click();

    // Writes the pending row before the program ends; when the database refuses
    // it, asks whether to discard it. False: the user keeps the program open.
    bool canEndProgram();

    QLabel* Label2;
    DataGrid* DataGrid1;
    QPushButton* PushButton1;
    QPushButton* PushButton4;
    QPushButton* PushButton5;
    QPushButton* PushButton2;
    QPushButton* PushButton6;
    QPushButton* PushButton3;
    CommonDialog CommonDialog1;
    QMenu* mnuSaveAs;
    QAction* mnuTXT;
    QAction* mnuXLS;
    QAction* mnuCSV;
    QAction* mnuPDF;
    QAction* mnuXML;
    WindowPointer Pointer;

private:
    // The shape of the file exports: the Save dialog, then the writer under the hourglass.
    void exportToFile(const QString& filter, void (*writer)(DataGrid*, const QString&));

protected:
    void closeEvent(QCloseEvent* event) override;
};

// Closing the start window, the chooser or the table data window ends the program, once the
// table data window can let go of its pending row (else the window stays).
void CloseEndsProgram(QCloseEvent* event);
