#include "frmNewColumn.h"

#include <QKeyEvent>

#include "data/error.h"
#include "platform/messagebox.h"
#include "data/quote.h"
#include "common/Main.h"
#include "common/connection.h"
#include "common/errorreport.h"
#include "common/locations.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

using Main::PlaceTwips;

frmNewColumn::frmNewColumn()
    : Label5(new QLabel(QStringLiteral("Name:"), this)),
      txtName(new QLineEdit(this)),
      Label2(new QLabel(QStringLiteral("Data Type:"), this)),
      cboDataType(new QComboBox(this)),
      Label1(new QLabel(QStringLiteral("M:"), this)),
      txtM(new QLineEdit(this)),
      Label4(new QLabel(QStringLiteral("D:"), this)),
      txtD(new QLineEdit(this)),
      Label3(new QLabel(QStringLiteral("Default:"), this)),
      txtDefault(new QLineEdit(this)),
      chkAutoInc(new QCheckBox(QStringLiteral("Auto Increment"), this)),
      PushButton1(new QPushButton(QStringLiteral("Add"), this)),
      Pointer(this, false) // no rule of its own for the window: only "Add" shows the hand
{
    setObjectName(QStringLiteral("frmNewColumn"));
    setWindowTitle(QStringLiteral("Add a New Column"));
    txtName->setObjectName(QStringLiteral("txtName"));
    cboDataType->setObjectName(QStringLiteral("cboDataType"));
    txtM->setObjectName(QStringLiteral("txtM"));
    txtD->setObjectName(QStringLiteral("txtD"));
    txtDefault->setObjectName(QStringLiteral("txtDefault"));
    chkAutoInc->setObjectName(QStringLiteral("chkAutoInc"));
    PushButton1->setObjectName(QStringLiteral("PushButton1"));

    Main::ResizeClientTwips(this, 4680, 2670);
    PlaceTwips(Label5, 120, 165, 540, 225);
    PlaceTwips(txtName, 1080, 120, 3480, 330);
    PlaceTwips(Label2, 120, 585, 885, 225);
    PlaceTwips(cboDataType, 1080, 540, 3480, 345);
    PlaceTwips(Label1, 120, 1005, 195, 225);
    PlaceTwips(txtM, 1080, 960, 855, 330);
    PlaceTwips(Label4, 2250, 1005, 165, 225);
    PlaceTwips(txtD, 3240, 960, 855, 330);
    PlaceTwips(Label3, 120, 1425, 645, 225);
    PlaceTwips(txtDefault, 1080, 1380, 3480, 330);
    PlaceTwips(chkAutoInc, 1080, 1755, 1920, 345);
    PlaceTwips(PushButton1, 120, 2160, 4440, 405);
    Main::ApplyStandardFonts(this);
    for (QLabel* label : {Label5, Label2, Label1, Label4, Label3})
        label->setWordWrap(false);

    cboDataType->addItems({QStringLiteral("TEXT"), QStringLiteral("NUMERIC"), QStringLiteral("BLOB"),
                           QStringLiteral("INTEGER PRIMARY KEY")});
    setTabOrder(txtName, cboDataType);
    setTabOrder(cboDataType, txtM);
    setTabOrder(txtM, txtD);
    setTabOrder(txtD, txtDefault);
    setTabOrder(txtDefault, chkAutoInc);
    setTabOrder(chkAutoInc, PushButton1);
    PushButton1->setAutoDefault(false);

    Pointer.handOver(PushButton1);
    connect(PushButton1, &QPushButton::clicked, this, [this] { cmdAdd_Click(); });
}

void frmNewColumn::Form_Load()
{
    Trap trap(Location::frmNewColumn_Load);
    trap(100, [&] { Main::ApplyWindowColours(this); });
    trap(102, [&] { setWindowIcon(Main::ApplicationIcon()); });
    LoadHandPointer(trap, 104, 106, Pointer);
    trap(108, [&] { cboDataType->setCurrentIndex(0); });
    trap(110, [&] { Pointer.setMousePointer(vbHourglass); });
    trap(112, [&] { connection_ = std::make_shared<ADODB::Connection>(); });
    trap(114, [&] { connection_->CursorLocation = ADODB::adUseClient; });
    trap(116, [&] { connection_->Open(ConnectionStringFor(CurrentDatabasePath())); });
    trap(118, [&] { Pointer.setMousePointer(vbDefault); });
}

void frmNewColumn::cmdAdd_Click()
{
    Trap trap(Location::frmNewColumn_Add);
    if (trap.test(100, [&] { return txtName->text().trimmed().isEmpty(); }))
        return;
    if (trap.test(102, [&] { return callingform == QLatin1String("Form3"); })) {
        QString statement;
        trap(104, [&] {
            statement = QLatin1String("ALTER TABLE ") + QuoteIdentifier(CurrentTableName) + QLatin1String(" ADD ")
                + QuoteIdentifier(txtName->text()) + QLatin1Char(' ') + cboDataType->currentText();
        });
        if (trap.test(106, [&] { return !txtM->text().trimmed().isEmpty(); })) {
            if (trap.test(108, [&] { return txtD->text().trimmed().isEmpty(); }))
                trap(110, [&] { statement += QLatin1String(" (") + txtM->text() + QLatin1Char(')'); });
            else
                trap(112, [&] { statement += QLatin1String(" (") + txtM->text() + QLatin1String(", ") + txtD->text() + QLatin1Char(')'); });
        }
        if (trap.test(114, [&] { return chkAutoInc->isChecked(); }))
            trap(116, [&] { statement += kAutoIncrementText; });
        // A default belongs to the ADD statement itself (SQLite has no SET DEFAULT):
        // its test and its text keep the numbers of the steps they replace.
        if (trap.test(122, [&] { return !txtDefault->text().trimmed().isEmpty(); }))
            trap(124, [&] { statement += QLatin1String(" DEFAULT ") + txtDefault->text(); });
        trap(118, [&] { Pointer.setMousePointer(vbHourglass); });
        added_ = trap(120, [&] {
            if (!connection_)
                throw AppError(QStringLiteral("Operation is not allowed when the object is closed."));
            connection_->Execute(statement);
        });
        trap(128, [&] { Pointer.setMousePointer(vbDefault); });
        // A refused column keeps the window open with what was typed.
        if (!added_)
            return;
        trap(130, [&] { MsgBox(QStringLiteral("Column added."), vbOKOnly, Main::ApplicationTitle()); });
    } else if (trap.test(132, [&] { return callingform == QLatin1String("frmNewTable"); })) {
        QTreeWidgetItem* row = nullptr;
        trap(134, [&] {
            if (!newFieldRow)
                throw AppError(QStringLiteral("The new-table window is not open."));
            row = newFieldRow();
            row->setText(0, txtName->text());
        });
        trap(136, [&] { row->setText(1, cboDataType->currentText()); });
        if (trap.test(138, [&] { return !txtM->text().trimmed().isEmpty(); })) {
            if (trap.test(140, [&] { return txtD->text().trimmed().isEmpty(); }))
                trap(142, [&] { row->setText(2, QLatin1Char('(') + txtM->text() + QLatin1Char(')')); });
            else
                trap(144, [&] { row->setText(2, QLatin1Char('(') + txtM->text() + QLatin1String(", ") + txtD->text() + QLatin1Char(')')); });
        }
        if (trap.test(146, [&] { return chkAutoInc->isChecked(); }))
            trap(148, [&] { row->setText(3, kAutoIncrementText); });
    }
    trap(150, [&] { accept(); });
}
