#pragma once
// The Find window: a small window beside the table data window, not modal.
// It searches the grid (DataGrid::find) from the current cell on; when the
// search went on from the other end of the table, it says so on its own line.
// "Replace" writes the current cell found and finds the next; "Replace All"
// writes every cell holding the text as one block (DataGrid::replaceAll).
#include <QDialog>
#include <QPointer>
#include "data/rowview.h"

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
    QLineEdit* Text2;       // "Replace with"
    QPushButton* ReplaceButton;
    QPushButton* ReplaceAllButton;
    QLabel* Status;         // the line that tells of a search gone on from the other end

    // Searches as the buttons do.
    void search(bool forward);
    void replace(bool all);

private:
    FindText text() const;
    void tell(int outcome, bool forward);
    QPointer<DataGrid> grid_;
};
