#pragma once
// The table chooser: lists the tables of the database and opens the chosen one.
#include "shell/pointer.h"

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

// The name of the table on show in the table data window.
extern QString CurrentTableName;

// The statement that opens a whole table.
QString SelectWholeTable(const QString& table);
