#pragma once
#include "common/modalwindow.h"
// Collects one column definition; adds it to the open table ("Form3") or
// appends it as a row of the new-table window's field list ("frmNewTable").
#include "data/adodb.h"
#include "common/pointer.h"

#include <QDialog>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidgetItem;

class frmNewColumn : public ModalWindow {
public:
    frmNewColumn();

    void Form_Load();
    void cmdAdd_Click();

    // Who opened the window, and so what "Add" does.
    QString callingform;
    // A new row of the field list that receives the column ("frmNewTable"),
    // given by the window that opened this one.
    std::function<QTreeWidgetItem*()> newFieldRow;

    QLabel* Label5;
    QLineEdit* txtName;
    QLabel* Label2;
    QComboBox* cboDataType;
    QLabel* Label1;
    QLineEdit* txtM;
    QLabel* Label4;
    QLineEdit* txtD;
    QLabel* Label3;
    QLineEdit* txtDefault;
    QCheckBox* chkAutoInc;
    QPushButton* PushButton1;
    WindowPointer Pointer;

private:
    std::shared_ptr<ADODB::Connection> connection_;
    bool added_ = false;
};

// The texts both modes build from the boxes.
inline const QString kAutoIncrementText = QStringLiteral(" AUTOINCREMENT ");
