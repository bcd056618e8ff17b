#include "spreadsheet.h"

#include "data/error.h"
#include "launcher.h"

#include <QDir>
#include <QRegularExpression>
#include <cmath>
#include "desktop.h"
#include "privatefolder.h"

#include <QTemporaryFile>
#include <xlsxwriter.h>

namespace {

QString safeFileName(const QString& name)
{
    QString safe = name;
    static const QRegularExpression unsafe(QStringLiteral(R"([/\\:*?"<>|\x00-\x1f])"));
    safe.replace(unsafe, QStringLiteral("_"));
    return safe.trimmed().isEmpty() ? QStringLiteral("Book1") : safe;
}
} // namespace

void ExcelWorksheet::SetCellValue(int row, int column, const QString& text)
{
    if (row < 1 || column < 1 || row > kWorksheetRows || column > kWorksheetColumns)
        throw AppError(QStringLiteral("Application-defined or object-defined error (cell %1, %2)").arg(row).arg(column));
    if (int(rows_.size()) < row)
        rows_.resize(size_t(row));
    auto& cells = rows_[size_t(row - 1)];
    if (int(cells.size()) < column)
        cells.resize(size_t(column));
    cells[size_t(column - 1)] = text;
    columns_ = std::max(columns_, column);
}

QString ExcelWorksheet::cellText(int row, int column) const
{
    if (row < 1 || row > int(rows_.size()))
        return QString();
    const auto& cells = rows_[size_t(row - 1)];
    return column >= 1 && column <= int(cells.size()) ? cells[size_t(column - 1)] : QString();
}

void ExcelWorksheet::AutofitColumns()
{
    widths_.assign(size_t(columns_), 0);
    for (const auto& cells : rows_)
        for (size_t c = 0; c < cells.size(); ++c)
            widths_[c] = std::max(widths_[c], int(cells[c].size()));
}

int ExcelWorksheet::ColumnWidth(int column) const
{
    return column >= 1 && column <= int(widths_.size()) ? widths_[size_t(column - 1)] : 0;
}

void ExcelWorkbook::SaveAs(const QString& fileName) const
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    const QByteArray tmp = QDir::tempPath().toUtf8();
    options.tmpdir = const_cast<char*>(tmp.constData());
    const QByteArray path = fileName.toUtf8();
    lxw_workbook* book = workbook_new_opt(path.constData(), &options);
    if (!book)
        throw AppError(QStringLiteral("Cannot create the workbook %1").arg(fileName));
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    const ExcelWorksheet& s = sheet_;
    for (int c = 1; c <= s.columnCount(); ++c)
        if (const int width = s.ColumnWidth(c); width > 0)
            worksheet_set_column(sheet, lxw_col_t(c - 1), lxw_col_t(c - 1), std::min(255, width + 2), nullptr);
    for (int r = 1; r <= s.rowCount(); ++r) {
        for (int c = 1; c <= s.columnCount(); ++c) {
            const QString text = s.cellText(r, c);
            if (text.isEmpty())
                continue;
            double number = 0;
            if (ExcelApplication::isPlainNumber(text, &number))
                worksheet_write_number(sheet, lxw_row_t(r - 1), lxw_col_t(c - 1), number, nullptr);
            else
                worksheet_write_string(sheet, lxw_row_t(r - 1), lxw_col_t(c - 1), text.toUtf8().constData(), nullptr);
        }
    }
    const lxw_error result = workbook_close(book);
    if (result != LXW_NO_ERROR)
        throw AppError(QStringLiteral("Cannot write the workbook %1: %2")
                           .arg(fileName, QString::fromUtf8(lxw_strerror(result))));
}

QString ExcelApplication::registeredSpreadsheetProgram() { return RegisteredProgramFor(QStringLiteral(".xlsx")); }

ExcelApplication::ExcelApplication()
{
    if (registeredSpreadsheetProgram().isEmpty())
        throw AppError(QStringLiteral("ActiveX component can't create object: no spreadsheet program is "
                                      "registered for .xlsx files"));
}

bool ExcelApplication::isPlainNumber(const QString& text, double* value)
{
    static const QRegularExpression number(QStringLiteral(R"(^[-+]?(\d+(\.\d*)?|\.\d+)([eE][-+]?\d+)?$)"));
    if (!number.match(text).hasMatch())
        return false;
    bool ok = false;
    *value = text.toDouble(&ok);
    return ok && std::isfinite(*value);
}

ExcelWorkbook& ExcelApplication::WorkbooksAdd()
{
    workbooks_.push_back(std::make_unique<ExcelWorkbook>());
    return *workbooks_.back();
}

void ExcelApplication::setVisible(bool visible)
{
    if (!visible)
        return;
    for (const auto& book : workbooks_) {
        // A name of its own in the program's private folder: nothing saved there is overwritten.
        QTemporaryFile reserved(QDir(PrivateTemporaryFolder()).filePath(safeFileName(book->Name)
                                                                       + QLatin1String("-XXXXXX.xlsx")));
        reserved.setAutoRemove(false);
        if (!reserved.open())
            throw AppError(QStringLiteral("%1: %2").arg(reserved.errorString(), reserved.fileTemplate()));
        const QString file = reserved.fileName();
        reserved.close();
        book->SaveAs(file);
        OpenWithDesktop(file);
    }
}

void ExcelApplication::Quit() { workbooks_.clear(); }
