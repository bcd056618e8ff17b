#pragma once
// The table chooser: lists the tables of the database and opens the chosen one.
#include "common/pointer.h"

#include <memory>

namespace ADODB {
class Connection;
class RecordSet;
} // namespace ADODB

#include <QWidget>

class QGroupBox;
class QListWidget;
class QPushButton;

class Form2 : public QWidget {
public:
    Form2();

    void Form_Load();
    void PushButton1_Click(); // "New Table"
    void PushButton2_Click(); // "< Back"
    void PushButton3_Click(); // "Next >"

    QPushButton* PushButton2;
    QGroupBox* Frame1;
    QListWidget* List1;
    QPushButton* PushButton1;
    QPushButton* PushButton3;
    WindowPointer Pointer;

protected:
    void closeEvent(QCloseEvent* event) override;
};

// Opens the table on show (CurrentTableName) whole into the recordset, with
// its progress shown over the window: the one way a table reaches the grid.
void OpenCurrentTable(ADODB::RecordSet& recordset, const std::shared_ptr<ADODB::Connection>& connection,
                      QWidget* window);
