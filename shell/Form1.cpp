#include "Form1.h"

#include "common/Main.h"
#include "catalogue/Form2.h"
#include "catalogue/SQLite.h"
#include "editor/Form3.h"
#include "export/PdfExport.h"
#include "common/connection.h"
#include "common/errorreport.h"
#include "common/forms.h"
#include "common/locations.h"
#include "platform/messagebox.h"
#include "platform/settings.h"

#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using Main::PlaceTwips;

namespace {
const QString kAppName = QStringLiteral("Pellorin");
const QString kSection = QStringLiteral("Vestrel");
const QString kKey = QStringLiteral("SQLiteDatabase");

QString& openOnLoad()
{
    static QString path;
    return path;
}

// The local file a drag brings, if it brings one.
QString droppedFile(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().isEmpty() || !data->urls().front().isLocalFile())
        return {};
    return QDir::toNativeSeparators(data->urls().front().toLocalFile());
}
} // namespace

void Form1::OpenOnLoad(const QString& path) { openOnLoad() = path; }

Form1::Form1()
    : Frame1(new QGroupBox(QStringLiteral("SQLite File"), this)),
      Label7(new QLabel(QStringLiteral("Database:"), Frame1)),
      Text1(new QLineEdit(Frame1)),
      PushButton5(new QPushButton(QStringLiteral("..."), Frame1)),
      PushButton1(new QPushButton(QStringLiteral("Test Connection"), Frame1)),
      PushButton7(new QPushButton(QStringLiteral("Help"), Frame1)),
      PushButton2(new QPushButton(QStringLiteral("Load Sample/Example Database"), Frame1)),
      PushButton3(new QPushButton(QStringLiteral("Next >"), this)),
      Pointer(this)
{
    setObjectName(QStringLiteral("Form1"));
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Label7->setObjectName(QStringLiteral("Label7"));
    Text1->setObjectName(QStringLiteral("Text1"));
    PushButton5->setObjectName(QStringLiteral("PushButton5"));
    PushButton1->setObjectName(QStringLiteral("PushButton1"));
    PushButton7->setObjectName(QStringLiteral("PushButton7"));
    PushButton2->setObjectName(QStringLiteral("PushButton2"));
    PushButton3->setObjectName(QStringLiteral("PushButton3"));

    Main::ResizeClientTwips(this, 8040, 2775);
    PlaceTwips(Frame1, 120, 120, 7800, 1995);
    PlaceTwips(Label7, 240, 405, 975, 255);
    PlaceTwips(Text1, 1320, 360, 5415, 345);
    PlaceTwips(PushButton5, 6840, 360, 690, 345);
    PlaceTwips(PushButton1, 255, 870, 7300, 405);
    PlaceTwips(PushButton7, 240, 1410, 3600, 405);
    PlaceTwips(PushButton2, 3960, 1410, 3600, 405);
    PlaceTwips(PushButton3, 120, 2250, 7800, 405);
    Main::ApplyStandardFonts(this);

    // Designed white; the skin turns window, frame and label to the button face.
    for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(Frame1), static_cast<QWidget*>(Label7)})
        Main::SetBackColor(w, Qt::white);

    setTabOrder(Text1, PushButton5);
    setTabOrder(PushButton5, PushButton1);
    setTabOrder(PushButton1, PushButton7);
    setTabOrder(PushButton7, PushButton2);
    setTabOrder(PushButton2, PushButton3);
    Text1->setFocus();

    for (QPushButton* b : {PushButton5, PushButton1, PushButton7, PushButton2, PushButton3})
        Pointer.handOver(b);
    Pointer.arrowOver(Frame1);
    Pointer.arrowOver(Text1);
    Pointer.noRuleOver(Label7); // leaves the pointer as it is

    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
    connect(PushButton3, &QPushButton::clicked, this, [this] { PushButton3_Click(); });
    connect(PushButton5, &QPushButton::clicked, this, [this] { PushButton5_Click(); });
    connect(PushButton7, &QPushButton::clicked, this, [this] { PushButton7_Click(); });
    connect(Text1, &QLineEdit::textChanged, this, [this](const QString& t) { Text1_Change(t); });
    Text1->installEventFilter(this);
    setAcceptDrops(true);
}

void Form1::Form_Load()
{
    Trap trap(Location::Form1_Load);
    trap(100, [&] { Main::ApplySkin(this); });
    trap(104, [&] { setWindowTitle(QStringLiteral("Vestrel")); });
    trap([&] { setWindowIcon(Main::ApplicationIcon()); });
    trap([&] { Main::SetApplicationTitle(); });
    trap(106, [&] { Main::MaybeOpenHomePage(); });
    LoadHandPointer(trap, 124, 126, Pointer);
    if (!openOnLoad().isEmpty()) {
        trap([&] { Text1->setText(std::exchange(openOnLoad(), QString())); });
        trap([&] { CheckPdfPrinter(); });
        return;
    }
    trap(128, [&] { Text1->setText(GetSetting(kAppName, kSection, kKey)); });
    if (trap.test(130, [&] { return !Text1->text().isEmpty(); })) {
        if (trap.test(132, [&] { return CanOpenDatabase(); }))
            trap(134, [&] { PushButton3_Click(); });
    }
    trap([&] { CheckPdfPrinter(); });
}

void Form1::PushButton1_Click()
{
    // This handler has its own failure path: any failure means "Could not connect."
    try {
        if (Text1->text().isEmpty()) {
            MsgBox(QStringLiteral("Could not connect."), vbOKOnly, Main::ApplicationTitle());
            return;
        }
        if (!DatabaseFileExists(Text1->text())) {
            // Silence here would read as success.
            MsgBox(QStringLiteral("Could not connect."), vbOKOnly, Main::ApplicationTitle());
            return;
        }
        Pointer.setMousePointer(vbHourglass);
        auto connection = std::make_shared<ADODB::Connection>();
        connection->CursorLocation = ADODB::adUseServer;
        connection->Open(ConnectionStringFor(Text1->text()));
        MsgBox(QStringLiteral("Connection successful."), vbOKOnly, Main::ApplicationTitle());
        Pointer.setMousePointer(vbDefault);
    } catch (...) {
        MsgBox(QStringLiteral("Could not connect."), vbOKOnly, Main::ApplicationTitle());
        Pointer.setMousePointer(vbDefault);
    }
}

void Form1::PushButton2_Click()
{
    Trap trap(Location::Form1_LoadSample);
    trap(100, [&] { Text1->setText(Main::ProgramFolder() + QLatin1String("/Samples/sample1.db3")); });
}

void Form1::PushButton3_Click()
{
    Trap trap(Location::Form1_Next);
    bool usable = true;
    trap(100, [&] { usable = CanOpenDatabase(); });
    if (!usable)
        return;
    trap(102, [&] { FillTableList(Forms::form2().List1); });
    if (trap.test(104, [&] { return Forms::form2().List1->count() > 0; }))
        trap([&] { Forms::form2().List1->setCurrentRow(0); });
    trap(106, [&] { Forms::form2().show(); });
    trap(108, [&] { hide(); });
}

void Form1::PushButton5_Click()
{
    Trap trap(Location::Form1_Browse);
    trap(100, [&] { CommonDialog1.FileName.clear(); });
    trap(102, [&] { CommonDialog1.Flags = 2621441; });
    trap(104, [&] { CommonDialog1.DialogTitle = QStringLiteral("Select SQLite Database"); });
    trap(106, [&] { CommonDialog1.Filter = QStringLiteral("SQLite Database (*.db)|*.db|All Files (*.*)|*.*|"); });
    trap(108, [&] { CommonDialog1.ShowOpen(); });
    if (trap.test(110, [&] { return !CommonDialog1.FileName.isEmpty(); }))
        trap(112, [&] { Text1->setText(CommonDialog1.FileName); });
}

void Form1::PushButton7_Click()
{
    Trap trap(Location::Form1_Help);
    trap(100, [&] {
        MsgBox(QStringLiteral("Make sure database file is not in used by another application."), vbOKOnly,
               Main::ApplicationTitle());
    });
}

void Form1::Text1_Change(const QString& text) { SaveSetting(kAppName, kSection, kKey, text); }

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Text1 && event->type() == QEvent::FocusIn)
        Text1->selectAll();
    // A file dropped on the box itself: its path, not its address as text.
    if (watched == Text1 && (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove)) {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!droppedFile(drag->mimeData()).isEmpty()) {
            drag->acceptProposedAction();
            return true;
        }
    }
    if (watched == Text1 && event->type() == QEvent::Drop
        && !droppedFile(static_cast<QDropEvent*>(event)->mimeData()).isEmpty()) {
        dropEvent(static_cast<QDropEvent*>(event));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event) { CloseEndsProgram(event); }

void Form1::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event)
{
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    Text1->setText(path);
    event->acceptProposedAction();
}
