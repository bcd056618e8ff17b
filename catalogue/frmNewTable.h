#pragma once
#include "common/modalwindow.h"
// Defines a new table: a name and an ordered list of fields, created with one
// CREATE TABLE statement.
#include "common/pointer.h"

#include <QDialog>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

class frmNewTable : public ModalWindow {
public:
    frmNewTable();

    void Form_Load();
    void cmdAdd_Click();       // "Add"
    void PushButton1_Click();  // "Delete"
    void PushButton2_Click();  // "Save"
    void PushButton3_Click();  // "Cancel"

    // The statement "Save" sends for the name and the rows of the field list.
    QString createTableStatement() const;

    QGroupBox* Frame2;
    QLineEdit* txtName;
    QGroupBox* Frame1;
    QTreeWidget* ListView1;
    QPushButton* PushButton4;
    QPushButton* PushButton1;
    QPushButton* PushButton2;
    QPushButton* PushButton3;
    WindowPointer Pointer;

};
