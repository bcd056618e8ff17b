#pragma once
// Our spreadsheet application: a workbook kept in memory, written as a real
// .xlsx when the application is made visible, and opened in the desktop's
// spreadsheet program. It can be created only where such a program is
// registered for .xlsx files.
#include <QString>
#include <memory>
#include <vector>

// How many rows and columns one worksheet holds.
constexpr int kWorksheetRows = 1048576;
constexpr int kWorksheetColumns = 16384;

class ExcelWorksheet {
public:
    // Cells(row, column).Value = text; rows and columns count from 1. A text
    // that is a plain number becomes a number cell, as a spreadsheet makes it.
    void SetCellValue(int row, int column, const QString& text);
    QString cellText(int row, int column) const;
    void AutofitColumns();
    int ColumnWidth(int column) const; // in characters, once fitted

    int rowCount() const { return int(rows_.size()); }
    int columnCount() const { return columns_; }

private:
    std::vector<std::vector<QString>> rows_;
    std::vector<int> widths_;
    int columns_ = 0;
};

class ExcelWorkbook {
public:
    ExcelWorksheet& ActiveSheet() { return sheet_; }
    QString Name = QStringLiteral("Book1"); // the file name it is saved under when shown
    // Writes the workbook as .xlsx; throws AppError on failure.
    void SaveAs(const QString& fileName) const;

private:
    ExcelWorksheet sheet_;
};

class ExcelApplication {
public:
    ExcelApplication(); // throws AppError where no spreadsheet program is registered

    ExcelWorkbook& WorkbooksAdd();
    // Saves each workbook to a temporary .xlsx named after it and opens it in
    // the desktop's spreadsheet program; the program keeps no link to it.
    void setVisible(bool visible);
    void Quit();

    // The default application for .xlsx files on this desktop, empty when none.
    static QString registeredSpreadsheetProgram();
    // Plain numbers: optional sign, digits with an optional fraction, optional exponent.
    static bool isPlainNumber(const QString& text, double* value);

private:
    std::vector<std::unique_ptr<ExcelWorkbook>> workbooks_;
};
