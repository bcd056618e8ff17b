#include "Form3.h"

#include "grid/DataGrid.h"
#include "catalogue/Form2.h"
#include "export/DataGrid1.h"
#include "export/GetSetPrinter.h"
#include "export/PdfExport.h"
#include "export/SpreadsheetExport.h"
#include "export/Wordpad1.h"
#include "platform/launcher.h"
#include "platform/objects.h"
#include "platform/spreadsheet.h"
#include "frmNewColumn.h"
#include "common/connection.h"
#include "common/modal.h"
#include "common/progress.h"
#include "data/error.h"
#include "platform/messagebox.h"
#include "common/Main.h"
#include "common/errorreport.h"
#include "common/forms.h"
#include "common/locations.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QCursor>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

using Main::PlaceTwips;

// The design's module of grid writers is called DataGrid1, like this window's
// grid: here the module goes by another name.
namespace GridWriters = ::DataGrid1;

Form3::Form3()
    : Label2(new QLabel(QStringLiteral(" Table: "), this)),
      DataGrid1(new DataGrid(this)),
      PushButton1(new QPushButton(QStringLiteral("< Back"), this)),
      PushButton4(new QPushButton(QStringLiteral("Help"), this)),
      PushButton5(new QPushButton(QStringLiteral("Add New Row"), this)),
      PushButton2(new QPushButton(QStringLiteral("Add New Column"), this)),
      PushButton6(new QPushButton(QStringLiteral("Export Table As.."), this)),
      PushButton3(new QPushButton(QStringLiteral("Quit"), this)),
      mnuSaveAs(new QMenu(QStringLiteral("Save As"), this)),
      mnuTXT(mnuSaveAs->addAction(QStringLiteral("TXT"))),
      mnuXLS(mnuSaveAs->addAction(QStringLiteral("XLS"))),
      mnuCSV(mnuSaveAs->addAction(QStringLiteral("CSV"))),
      mnuPDF(mnuSaveAs->addAction(QStringLiteral("PDF"))),
      mnuXML(mnuSaveAs->addAction(QStringLiteral("XML"))),
      Pointer(this)
{
    setObjectName(QStringLiteral("Form3"));
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setTextFormat(Qt::PlainText); // a table's name is shown as it is spelt, never as markup
    DataGrid1->setObjectName(QStringLiteral("DataGrid1"));
    PushButton1->setObjectName(QStringLiteral("PushButton1"));
    PushButton4->setObjectName(QStringLiteral("PushButton4"));
    PushButton5->setObjectName(QStringLiteral("PushButton5"));
    PushButton2->setObjectName(QStringLiteral("PushButton2"));
    PushButton6->setObjectName(QStringLiteral("PushButton6"));
    PushButton3->setObjectName(QStringLiteral("PushButton3"));

    Main::ResizeClientTwips(this, 14400, 7455);
    PlaceTwips(Label2, 240, 120, 4695, 255);
    PlaceTwips(DataGrid1, 120, 360, 14160, 6525);
    PlaceTwips(PushButton1, 120, 6960, 1800, 405);
    PlaceTwips(PushButton4, 2040, 6960, 1800, 405);
    PlaceTwips(PushButton5, 3960, 6960, 2760, 405);
    PlaceTwips(PushButton2, 6840, 6960, 2760, 405);
    PlaceTwips(PushButton6, 9720, 6960, 2640, 405);
    PlaceTwips(PushButton3, 12480, 6960, 1800, 405);
    Main::ApplyStandardFonts(this);

    // Tab order: the grid, then "< Back", "Quit", "Export Table As..", "Help",
    // "Add New Row", "Add New Column".
    setTabOrder(DataGrid1, PushButton1);
    setTabOrder(PushButton1, PushButton3);
    setTabOrder(PushButton3, PushButton6);
    setTabOrder(PushButton6, PushButton4);
    setTabOrder(PushButton4, PushButton5);
    setTabOrder(PushButton5, PushButton2);

    for (QPushButton* b : {PushButton1, PushButton4, PushButton5, PushButton2, PushButton6, PushButton3})
        Pointer.handOver(b);
    Pointer.arrowOver(Label2);
    Pointer.arrowOver(DataGrid1);
    Pointer.arrowOver(DataGrid1->viewport());

    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton3, &QPushButton::clicked, this, [this] { PushButton3_Click(); });
    connect(PushButton4, &QPushButton::clicked, this, [this] { PushButton4_Click(); });
    connect(PushButton5, &QPushButton::clicked, this, [this] { cmdAddNewRow_Click(); });
    connect(PushButton2, &QPushButton::clicked, this, [this] { chkNewColumn_Click(); });
    connect(PushButton6, &QPushButton::clicked, this, [this] { PushButton6_Click(); });
    connect(mnuTXT, &QAction::triggered, this, [this] { mnuTXT_Click(); });
    connect(mnuCSV, &QAction::triggered, this, [this] { mnuCSV_Click(); });
    connect(mnuXML, &QAction::triggered, this, [this] { mnuXML_Click(); });
    connect(mnuXLS, &QAction::triggered, this, [this] { mnuXLS_Click(); });
    connect(mnuPDF, &QAction::triggered, this, [this] { mnuPDF_Click(); });
}

void Form3::Form_Load()
{
    Trap trap(Location::Form3_Load);
    trap(100, [&] { Main::ApplyWindowColours(this); });
    trap(102, [&] { setWindowIcon(Main::ApplicationIcon()); });
    LoadHandPointer(trap, 106, 108, Pointer);
    trap(110, [&] { setWindowTitle(QStringLiteral("Vestrel")); });
}

void Form3::PushButton1_Click()
{
    Trap trap(Location::Form3_Back);
    // What was typed is written before the window goes; a refused row is
    // given up only when the user says so.
    if (!DataGrid1->commitPendingRow()) {
        if (MsgBox(QStringLiteral("The row you changed could not be saved. Discard your change and go back?"),
                   vbYesNo | vbExclamation, Main::ApplicationTitle())
            != vbYes)
            return;
        DataGrid1->revertPendingRow();
    }
    trap(100, [&] { Forms::form2().show(); });
    trap(102, [&] { hide(); });
}

void Form3::PushButton3_Click()
{
    Trap trap(Location::Form3_Quit);
    trap(100, [&] {
        if (canEndProgram())
            Main::EndProgram();
    });
}

void Form3::PushButton4_Click()
{
    Trap trap(Location::Form3_Help);
    trap(102, [&] {
        MsgBox(QStringLiteral("Error: 'Too many rows affected', you have duplicate rows in the table, I have "
                              "removed them."),
               vbOKOnly, Main::ApplicationTitle());
    });
}

void Form3::cmdAddNewRow_Click()
{
    Trap trap(Location::Form3_AddNewRow);
    trap(100, [&] { DataGrid1->setFocus(); });
    // A pending row that cannot be written stays current and highlighted: told once, nothing moves.
    if (DataGrid1->hasPendingRow() && !DataGrid1->commitPendingRow())
        return;
    if (trap.test(102, [&] { return DataGrid1->RowCount() > 0; }))
        trap(104, [&] { DataGrid1->SetRow(int(DataGrid1->RowCount()) + 1); });
    trap(106, [&] { DataGrid1->setFocus(); });
    trap(108, [&] {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : DataGrid1;
        QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier));
        QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Up, Qt::NoModifier));
        QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::ShiftModifier));
        QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Down, Qt::ShiftModifier));
    });
}

void Form3::chkNewColumn_Click()
{
    Trap trap(Location::Form3_AddNewColumn);
    // The table is about to be reread: what was typed is written first.
    if (!DataGrid1->commitPendingRow())
        return;
    std::shared_ptr<ADODB::RecordSet> recordset;
    std::shared_ptr<ADODB::Connection> connection;
    trap(100, [&] { recordset = std::make_shared<ADODB::RecordSet>(); });
    trap(102, [&] { connection = std::make_shared<ADODB::Connection>(); });
    {
        frmNewColumn window; // a fresh window at every opening
        trap(104, [&] {
            window.Form_Load();
            window.callingform = QStringLiteral("Form3");
        });
        trap(106, [&] { ShowModal(&window); });
    }
    trap(108, [&] { connection->CursorLocation = ADODB::adUseClient; });
    trap(110, [&] { connection->Open(ConnectionStringFor(CurrentDatabasePath())); });
    trap(112, [&] { OpenCurrentTable(*recordset, connection, this); });
    trap(114, [&] { DataGrid1->setDataSource(recordset); });
    trap(116, [&] { DataGrid1->setFocus(); });
}

void Form3::PushButton6_Click()
{
    Trap trap(Location::Form3_Export);
    trap(100, [&] { mnuSaveAs->popup(QCursor::pos()); });
}

void Form3::exportToFile(const QString& filter, void (*writer)(DataGrid*, const QString&))
{
    // The export reads the grid as the user sees it, with the pending row written.
    if (!DataGrid1->commitPendingRow())
        return;
    CommonDialog1.DialogTitle = QStringLiteral("Save");
    CommonDialog1.Filter = filter;
    CommonDialog1.ShowSave();
    const QString fileName = CommonDialog1.FileName;
    if (fileName.isEmpty())
        return;
    BusyPointer busy(Pointer);
    writer(DataGrid1, fileName);
}

void Form3::mnuTXT_Click() { exportToFile(QStringLiteral("Text Files (*.txt)|*.txt"), GridWriters::SaveDataGridToFile); }
void Form3::mnuCSV_Click() { exportToFile(QStringLiteral("CSV Files (*.csv)|*.csv"), GridWriters::SaveDataGridToCSVFile); }
void Form3::mnuXML_Click() { exportToFile(QStringLiteral("XML Files (*.xml)|*.xml"), GridWriters::SaveDataGridToXMLFile); }

void Form3::mnuXLS_Click()
{
    if (!DataGrid1->commitPendingRow())
        return;
    Trap trap(Location::Form3_XLS);
    std::shared_ptr<ExcelApplication> excel;
    ExcelWorkbook* book = nullptr;
    const auto unset = [] { return AppError(QStringLiteral("Object variable or With block variable not set")); };
    auto application = [&]() -> ExcelApplication& {
        if (!excel)
            throw unset();
        return *excel;
    };
    auto sheet = [&]() -> ExcelWorksheet& {
        if (!book)
            throw unset();
        return book->ActiveSheet();
    };
    int column = 1, row = 2;
    if (trap.test(100, [&] { return !(DataGrid1->RowCount() > 0); }))
        return;
    if (trap.test(102, [&] { return !IsExcelInstalled(); }))
        return;
    // A grid that does not fit one worksheet is not begun at all.
    if (DataGrid1->RowCount() + 1 > kWorksheetRows || DataGrid1->ColumnCount() > kWorksheetColumns) {
        MsgBox(QStringLiteral("The table does not fit in a worksheet, which holds at most 1,048,576 rows (the "
                              "headings included) and 16,384 columns. Nothing was exported."),
               vbOKOnly, Main::ApplicationTitle());
        return;
    }
    trap(104, [&] { Pointer.setMousePointer(vbHourglass); });
    trap(106, [&] { excel = CreateObject<ExcelApplication>(QStringLiteral("Excel.Application")); });
    trap(108, [&] {
        book = &application().WorkbooksAdd();
        book->Name = CurrentTableName;
    });
    trap(110, [&] { column = 1; });
    int columns = 0;
    trap(112, [&] { columns = DataGrid1->ColumnCount(); });
    for (int c = 0; c < columns; ++c) {
        trap(114, [&] { sheet().SetCellValue(1, column, DataGrid1->ColumnCaption(c)); });
        trap(116, [&] { ++column; });
    }
    trap(120, [&] { row = 2; });
    GridWriters::walkGrid(DataGrid1, trap, {122, 124, 126, 128, 130, 132, 134}, nullptr, [&] {
        trap(136, [&] { column = 1; });
        int n = 0;
        trap(138, [&] { n = DataGrid1->ColumnCount(); });
        for (int c = 0; c < n; ++c) {
            trap(140, [&] { sheet().SetCellValue(row, column, DataGrid1->ColumnText(c)); });
            trap(142, [&] { ++column; });
        }
        trap(146, [&] { ++row; });
    });
    trap(150, [&] { sheet().AutofitColumns(); });
    trap(152, [&] { application().setVisible(true); });
    trap(154, [&] { Pointer.setMousePointer(vbDefault); });
}

void Form3::mnuPDF_Click()
{
    if (!DataGrid1->commitPendingRow())
        return;
    Trap trap(Location::Form3_PDF);
    QString temporary, previous, helper;
    trap(100, [&] { temporary = PdfTemporaryFile(); });
    trap(102, [&] { GridWriters::SaveDataGridToFile(DataGrid1, temporary); });
    if (trap.test(104, [&] { return !QFileInfo::exists(temporary); }))
        return;
    trap(106, [&] { previous = GetSetPrinter::GetDefaultPrinter(); });
    if (trap.test(108, [&] { return GetSetPrinter::SetDefaultPrinter(kPdfPrinter); })) {
        trap(110, [&] { helper = Wordpad1::GetWordpadPath(); });
        // The helper is waited for: the file and the default printer stay until
        // the job has reached the printer.
        trap(112, [&] {
            const int status = RunAndWait(helper, {QStringLiteral("/p"), temporary},
                                          PrintHelperTimeoutMs(QFileInfo(temporary).size()));
            if (status != 0)
                throw AppError(QStringLiteral("Printing to %1 failed (the print helper ended with status %2).")
                                   .arg(kPdfPrinter)
                                   .arg(status));
        });
    }
    trap(114, [&] { Main::DeleteFileQuietly(temporary); });
    trap(116, [&] { GetSetPrinter::SetDefaultPrinter(previous); });
}

bool Form3::canEndProgram()
{
    if (DataGrid1->commitPendingRow())
        return true;
    return MsgBox(QStringLiteral("The row you changed could not be saved. Discard your change and quit?"),
                  vbYesNo | vbExclamation, Main::ApplicationTitle())
        == vbYes;
}

void Form3::closeEvent(QCloseEvent* event) { CloseEndsProgram(event); }

void CloseEndsProgram(QCloseEvent* event)
{
    if (!Forms::isLoaded3() || Forms::form3().canEndProgram()) {
        event->accept();
        Main::EndProgram();
    } else {
        event->ignore();
    }
}
