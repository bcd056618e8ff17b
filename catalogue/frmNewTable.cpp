#include "frmNewTable.h"

#include <QHeaderView>
#include <QKeyEvent>

#include "editor/frmNewColumn.h"
#include "data/adodb.h"
#include "data/error.h"
#include "data/quote.h"
#include "common/Main.h"
#include "common/connection.h"
#include "common/errorreport.h"
#include "common/locations.h"
#include "common/modal.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

using Main::PlaceTwips;

frmNewTable::frmNewTable()
    : Frame2(new QGroupBox(QStringLiteral("Table Name"), this)),
      txtName(new QLineEdit(Frame2)),
      Frame1(new QGroupBox(QStringLiteral("Field(s)"), this)),
      ListView1(new QTreeWidget(Frame1)),
      PushButton4(new QPushButton(QStringLiteral("Add"), Frame1)),
      PushButton1(new QPushButton(QStringLiteral("Delete"), Frame1)),
      PushButton2(new QPushButton(QStringLiteral("Save"), this)),
      PushButton3(new QPushButton(QStringLiteral("Cancel"), this)),
      Pointer(this)
{
    setObjectName(QStringLiteral("frmNewTable"));
    setWindowTitle(QStringLiteral("Add New Table"));
    txtName->setObjectName(QStringLiteral("txtName"));
    ListView1->setObjectName(QStringLiteral("ListView1"));

    Main::ResizeClientTwips(this, 8040, 4395);
    PlaceTwips(Frame2, 120, 120, 7800, 795);
    PlaceTwips(txtName, 240, 300, 7320, 330);
    PlaceTwips(Frame1, 120, 990, 7800, 2775);
    PlaceTwips(ListView1, 240, 270, 7320, 1815);
    PlaceTwips(PushButton4, 240, 2190, 3600, 405);
    PlaceTwips(PushButton1, 3960, 2190, 3600, 405);
    PlaceTwips(PushButton2, 120, 3870, 3840, 405);
    PlaceTwips(PushButton3, 4080, 3870, 3840, 405);
    Main::ApplyStandardFonts(this);

    // A list in report view: one line per field, four columns, no tree.
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setColumnCount(0);
    ListView1->setHeaderHidden(false);
    ListView1->setToolTip(QStringLiteral("Drag and drop files here. Double-click item to remove it. Move | line to "
                                         "right and out of window to reveal full names."));
    for (QPushButton* b : {PushButton4, PushButton1, PushButton2, PushButton3}) {
        b->setAutoDefault(false);
        Pointer.handOver(b);
    }
    Pointer.arrowOver(ListView1);
    Pointer.arrowOver(ListView1->viewport());
    Pointer.arrowOver(Frame1);
    Pointer.arrowOver(Frame2);

    connect(PushButton4, &QPushButton::clicked, this, [this] { cmdAdd_Click(); });
    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
    connect(PushButton3, &QPushButton::clicked, this, [this] { PushButton3_Click(); });
}

void frmNewTable::Form_Load()
{
    Trap trap(Location::frmNewTable_Load);
    trap(100, [&] { Main::ApplyWindowColours(this); });
    trap(102, [&] { setWindowIcon(Main::ApplicationIcon()); });
    LoadHandPointer(trap, 104, 106, Pointer);
    trap(108, [&] {
        ListView1->setHeaderLabels({QStringLiteral("Field Name"), QStringLiteral("Data Type"),
                                    QStringLiteral("Precision"), QStringLiteral("Autoincrement")});
        const int widths[] = {1500, 1500, 1000, 1500};
        ListView1->header()->setStretchLastSection(false);
        for (int c = 0; c < 4; ++c)
            ListView1->setColumnWidth(c, (widths[c] + 7) / 15);
    });
}

void frmNewTable::cmdAdd_Click()
{
    Trap trap(Location::frmNewTable_Add);
    frmNewColumn window;
    trap(100, [&] {
        window.Form_Load();
        window.callingform = QStringLiteral("frmNewTable");
        window.newFieldRow = [this] { return new QTreeWidgetItem(ListView1); };
    });
    trap(102, [&] { ShowModal(&window); });
}

void frmNewTable::PushButton1_Click()
{
    Trap trap(Location::frmNewTable_Delete);
    if (trap.test(100, [&] { return ListView1->topLevelItemCount() > 0; }))
        trap(102, [&] {
            QTreeWidgetItem* selected = ListView1->currentItem();
            if (!selected || !selected->isSelected())
                throw AppError(QStringLiteral("Select the field to delete."));
            delete selected;
        });
}

QString frmNewTable::createTableStatement() const
{
    QString statement = QLatin1String("CREATE TABLE ") + QuoteIdentifier(txtName->text()) + QLatin1Char('(');
    for (int i = 0; i < ListView1->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = ListView1->topLevelItem(i);
        statement += QuoteIdentifier(row->text(0)) + QLatin1Char(' ') + row->text(1) + QLatin1Char(' ')
            + row->text(2) + QLatin1Char(' ') + row->text(3) + QLatin1Char(',');
    }
    statement.chop(1);
    return statement + QLatin1Char(')');
}

void frmNewTable::PushButton2_Click()
{
    Trap trap(Location::frmNewTable_Save);
    std::shared_ptr<ADODB::Connection> connection;
    QString statement;
    trap(100, [&] { connection = std::make_shared<ADODB::Connection>(); });
    if (trap.test(102, [&] { return txtName->text().isEmpty(); }))
        return;
    if (trap.test(104, [&] { return ListView1->topLevelItemCount() == 0; }))
        return;
    trap(106, [&] { statement = createTableStatement(); });
    trap(108, [&] { connection->CursorLocation = ADODB::adUseClient; });
    trap(110, [&] { connection->Open(ConnectionStringFor(CurrentDatabasePath())); });
    const bool created = trap(112, [&] { connection->Execute(statement); });
    trap(114, [&] { connection->Close(); });
    // A refused table keeps the window open with its name and fields.
    if (created)
        trap(116, [&] { accept(); });
}

void frmNewTable::PushButton3_Click()
{
    Trap trap(Location::frmNewTable_Cancel);
    trap(100, [&] { reject(); });
}
