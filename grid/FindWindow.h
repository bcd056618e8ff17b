#pragma once
// The Find window: a small window beside the table data window, not modal.
// It searches the grid (DataGrid::find) from the current cell on; when the
// search went on from the other end of the table, it says so on its own line.
#include <QDialog>
#include <QPointer>

class DataGrid;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class FindWindow : public QDialog {
public:
    FindWindow(QWidget* window, DataGrid* grid);

    QLineEdit* Text1;
    QCheckBox* Check1;      // "Match case"
    QCheckBox* Check2;      // "Whole cell"
    QPushButton* FindNext;
    QPushButton* FindPrevious;
    QPushButton* CloseButton;
    QLabel* Status;         // the line that tells of a search gone on from the other end

    // Searches as the buttons do.
    void search(bool forward);

private:
    QPointer<DataGrid> grid_;
};
