#include "Main.h"

#include "errorreport.h"
#include "data/error.h"
#include "platform/desktop.h"
#include "platform/launcher.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QImageReader>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTime>
#include <QWidget>
#include <random>

// The program's own pictures live in the core library, whose resources are
// registered by hand (a static library's would be dropped by the linker).
static void registerPictures() { Q_INIT_RESOURCE(vestrel); }

namespace Main {

namespace {
QString& programFolderOverride()
{
    static QString folder;
    return folder;
}
QString& applicationTitle()
{
    static QString title;
    return title;
}
int& endRequests()
{
    static int n = 0;
    return n;
}
} // namespace

QString ProgramFolder()
{
    if (!programFolderOverride().isEmpty())
        return programFolderOverride();
    return QCoreApplication::applicationDirPath();
}

void SetProgramFolderForTesting(const QString& folder) { programFolderOverride() = folder; }

bool FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.lastModified().isValid();
}

QColor ButtonFaceColour() { return QApplication::palette().color(QPalette::Active, QPalette::Button); }

void SetBackColor(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    // Text on a colour the design fixes stays readable whatever the desktop's colours are.
    palette.setColor(QPalette::WindowText, colour == ButtonFaceColour()
                                               ? QApplication::palette().color(QPalette::WindowText)
                                               : colour.lightness() < 128 ? QColor(Qt::white) : QColor(Qt::black));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

namespace {
void colourWindowAndSurfaces(QWidget* window)
{
    const QColor face = ButtonFaceColour();
    SetBackColor(window, face);
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child)
            || qobject_cast<QCheckBox*>(child) || qobject_cast<QRadioButton*>(child))
            SetBackColor(child, face);
    }
}
} // namespace

void ApplySkin(QWidget* startWindow)
{
    const QString skin = ProgramFolder() + QLatin1String("/x/o.cjs");
    const QFileInfo info(skin);
    if (!info.exists() || !info.isFile())
        return;
    colourWindowAndSurfaces(startWindow);
    QFile file(skin);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Cannot read the skin file %1: %2").arg(skin, file.errorString()));
    startWindow->setStyleSheet(QString::fromUtf8(file.readAll()));
}

void ApplyWindowColours(QWidget* window) { colourWindowAndSurfaces(window); }

void ApplyStandardFonts(QWidget* window)
{
    QFont regular(QStringLiteral("Arial"));
    regular.setPointSizeF(9);
    window->setFont(regular);
    QFont bold = regular;
    bold.setBold(true);
    QFont button = bold;
    button.setPointSizeF(11.25);
    for (QWidget* child : window->findChildren<QWidget*>())
        child->setFont(qobject_cast<QPushButton*>(child) ? button : bold);
}

void PlaceTwips(QWidget* widget, int left, int top, int width, int height)
{
    auto px = [](int twips) { return (twips + 7) / 15; };
    widget->setGeometry(px(left), px(top), px(width), px(height));
}

void ResizeClientTwips(QWidget* window, int width, int height)
{
    window->setFixedSize((width + 7) / 15, (height + 7) / 15);
}

void DeleteFileQuietly(const QString& path)
{
    QCoreApplication::processEvents();
    const QFileInfo info(path);
    QDir dir = info.dir();
    QStringList targets;
    if (info.fileName().contains(QLatin1Char('*')) || info.fileName().contains(QLatin1Char('?'))) {
        for (const QString& name : dir.entryList({info.fileName()}, QDir::Files | QDir::Hidden))
            targets << dir.filePath(name);
    } else {
        targets << path;
    }
    for (const QString& target : targets) {
        if (QFile::remove(target))
            continue;
        // Second attempt, forced: a read-only file goes too.
        QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner | QFileDevice::WriteUser);
        QFile::remove(target);
    }
}

QString ShortenTitle(const QString& displayName)
{
    if (!displayName.contains(QLatin1Char(' ')))
        return displayName; // a one-word name serves whole
    QString title = displayName;
    do {
        const qsizetype blank = title.lastIndexOf(QLatin1Char(' '));
        if (blank < 0)
            break;
        title.truncate(blank);
    } while (title.size() > 40);
    return title;
}

void SetApplicationTitle() { applicationTitle() = ShortenTitle(QStringLiteral("Vestrel")); }

const QString& ApplicationTitle()
{
    if (applicationTitle().isEmpty())
        SetApplicationTitle();
    return applicationTitle();
}

int HomePageDraw(int seedSeconds)
{
    std::mt19937 generator(static_cast<unsigned>(seedSeconds));
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    return int(unit(generator) * 100) + 1;
}

void MaybeOpenHomePage()
{
    const int secondsSinceMidnight = QTime(0, 0).secsTo(QTime::currentTime());
    if (HomePageDraw(secondsSinceMidnight) == 7)
        OpenWithDesktop(kHomePageAddress);
}

std::optional<QCursor> LoadHandCursor()
{
    const QString path = ProgramFolder() + QLatin1String("/HAND-M.CUR");
    if (!FileExists(path))
        return std::nullopt;
    // The file may hold the pointer at several sizes: the largest is taken,
    // drawn at the size of the first (a 64-pixel one is sharp at 200 %).
    QImageReader reader(path);
    QImage first = reader.read();
    if (first.isNull())
        throw AppError(QStringLiteral("Invalid picture: %1").arg(path));
    QImage best = first;
    while (reader.jumpToNextImage()) {
        const QImage next = reader.read();
        if (!next.isNull() && next.width() > best.width())
            best = next;
    }
    QPixmap image = QPixmap::fromImage(best);
    image.setDevicePixelRatio(qreal(best.width()) / first.width());
    return QCursor(image, 7, 1);
}

QIcon ApplicationIcon()
{
    // The 32-pixel drawing, and each pixel doubled and doubled again for dense
    // screens: sharp at 200 % and above, where an enlarged one would blur.
    static const QIcon icon = [] {
        registerPictures();
        const QImage drawing(QStringLiteral(":/vestrel.xpm"));
        QIcon made;
        for (int scale : {1, 2, 4})
            made.addPixmap(QPixmap::fromImage(drawing.scaled(drawing.size() * scale, Qt::IgnoreAspectRatio,
                                                              Qt::FastTransformation)));
        return made;
    }();
    return icon;
}

void EndProgram()
{
    ++endRequests();
    for (QWidget* w : QApplication::topLevelWidgets())
        w->hide();
    QCoreApplication::exit(0);
}

int EndProgramRequests() { return endRequests(); }

} // namespace Main
