#include "Form2.h"

#include "SQLite.h"
#include "frmNewTable.h"
#include "common/modal.h"
#include "common/progress.h"
#include "editor/Form3.h"
#include "grid/DataGrid.h"
#include "platform/messagebox.h"
#include "data/quote.h"
#include "common/Main.h"
#include "common/connection.h"
#include "common/errorreport.h"
#include "common/forms.h"
#include "common/locations.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

using Main::PlaceTwips;

void OpenCurrentTable(ADODB::RecordSet& recordset, const std::shared_ptr<ADODB::Connection>& connection,
                      QWidget* window)
{
    LongWork progress(window, QStringLiteral("Opening %1...").arg(CurrentTableName));
    recordset.Progress = progress.callback();
    struct Forget {
        ADODB::RecordSet& recordset;
        ~Forget() { recordset.Progress = nullptr; }
    } forget{recordset};
    recordset.Open(CurrentTableName, connection, ADODB::adOpenDynamic, ADODB::adLockOptimistic);
}

Form2::Form2()
    : PushButton2(new QPushButton(QStringLiteral("< Back"), this)),
      Frame1(new QGroupBox(QStringLiteral("Which table do you want edit?"), this)),
      List1(new QListWidget(Frame1)),
      PushButton1(new QPushButton(QStringLiteral("New Table"), this)),
      PushButton3(new QPushButton(QStringLiteral("Next >"), this)),
      Pointer(this)
{
    setObjectName(QStringLiteral("Form2"));
    PushButton2->setObjectName(QStringLiteral("PushButton2"));
    Frame1->setObjectName(QStringLiteral("Frame1"));
    List1->setObjectName(QStringLiteral("List1"));
    PushButton1->setObjectName(QStringLiteral("PushButton1"));
    PushButton3->setObjectName(QStringLiteral("PushButton3"));

    Main::ResizeClientTwips(this, 8040, 3165);
    PlaceTwips(PushButton2, 120, 120, 7815, 405);
    PlaceTwips(Frame1, 120, 630, 7800, 1935);
    PlaceTwips(List1, 240, 300, 7320, 1410);
    PlaceTwips(PushButton1, 120, 2670, 3840, 405);
    PlaceTwips(PushButton3, 4080, 2670, 3840, 405);
    Main::ApplyStandardFonts(this);
    List1->setSelectionMode(QAbstractItemView::SingleSelection);

    for (QPushButton* b : {PushButton2, PushButton1, PushButton3})
        Pointer.handOver(b);
    Pointer.arrowOver(Frame1);
    Pointer.arrowOver(List1);

    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
    connect(PushButton3, &QPushButton::clicked, this, [this] { PushButton3_Click(); });
}

void Form2::Form_Load()
{
    Trap trap(Location::Form2_Load);
    trap(100, [&] { Main::ApplyWindowColours(this); });
    trap(102, [&] { setWindowIcon(Main::ApplicationIcon()); });
    LoadHandPointer(trap, 104, 106, Pointer);
    trap(108, [&] { setWindowTitle(QStringLiteral("Vestrel")); });
}

void Form2::PushButton1_Click()
{
    Trap trap(Location::Form2_NewTable);
    trap(100, [&] {
        frmNewTable window; // a fresh window at every opening
        window.Form_Load();
        ShowModal(&window);
    });
    trap(102, [&] {
        Pointer.setMousePointer(vbHourglass);
        setEnabled(false);
    });
    trap(104, [&] { FillTableList(List1); });
    if (trap.test(106, [&] { return List1->count() > 0; }))
        trap(108, [&] { List1->setCurrentRow(0); });
    trap(110, [&] {
        setEnabled(true);
        Pointer.setMousePointer(vbDefault);
    });
}

void Form2::PushButton2_Click()
{
    Trap trap(Location::Form2_Back);
    trap(100, [&] { Forms::startWindow().show(); });
    trap(102, [&] { hide(); });
}

void Form2::PushButton3_Click()
{
    Trap trap(Location::Form2_Next);
    std::shared_ptr<ADODB::Connection> connection;
    std::shared_ptr<ADODB::RecordSet> recordset;
    trap(100, [&] {
        connection = std::make_shared<ADODB::Connection>();
        recordset = std::make_shared<ADODB::RecordSet>();
    });
    // The selection decides, not the row that merely has the keyboard focus.
    if (trap.test(102, [&] { return List1->selectedItems().isEmpty(); })) {
        trap(104, [&] { MsgBox(QStringLiteral("Please select a table"), vbOKOnly, Main::ApplicationTitle()); });
        return;
    }
    trap(106, [&] { Pointer.setMousePointer(vbHourglass); });
    trap(108, [&] {
        connection->CursorLocation = ADODB::adUseClient;
        connection->Open(ConnectionStringFor(CurrentDatabasePath()));
    });
    trap(110, [&] { CurrentTableName = List1->selectedItems().value(0)->text(); });
    trap(112, [&] { Forms::form3().show(); });
    trap(114, [&] { Forms::form3().Label2->setText(QLatin1String(" Now Editing: ") + CurrentTableName); });
    trap(116, [&] { Forms::form3().DataGrid1->setDataSource(nullptr); });
    trap(118, [&] { connection->CursorLocation = ADODB::adUseClient; });
    trap(120, [&] { OpenCurrentTable(*recordset, connection, this); });
    trap(122, [&] { Forms::form3().DataGrid1->setDataSource(recordset); });
    trap(124, [&] { Forms::form3().DataGrid1->setFocus(); });
    trap(126, [&] { hide(); });
    trap(128, [&] { Pointer.setMousePointer(vbDefault); });
}

void Form2::closeEvent(QCloseEvent* event) { CloseEndsProgram(event); }
