#pragma once
// Routines shared by the windows: files beside the program, the look of the
// windows, quiet file deletion, the short title for message boxes, the home page.
#include <QCursor>
#include <QString>
#include <optional>

class QWidget;

namespace Main {

// The folder that holds the program, without a trailing separator.
QString ProgramFolder();
// Tests point the program folder elsewhere (a temporary copy of the resources).
void SetProgramFolderForTesting(const QString& folder);

bool FileExists(const QString& path);

// The skin: x/o.cjs beside the program, a style sheet for the start window.
void ApplySkin(QWidget* startWindow);
void ApplyWindowColours(QWidget* window);
void SetBackColor(QWidget* widget, const QColor& colour);
QColor ButtonFaceColour();

// Arial bold 9 pt for labels, frames, boxes, lists and the grid; 11.25 pt on buttons.
void ApplyStandardFonts(QWidget* window);
// Places a widget by a rectangle in twips (15 twips make one logical pixel).
void PlaceTwips(QWidget* widget, int left, int top, int width, int height);
void ResizeClientTwips(QWidget* window, int width, int height);

void DeleteFileQuietly(const QString& path);

QString ShortenTitle(const QString& displayName);
void SetApplicationTitle();
const QString& ApplicationTitle();

// The number 1..100 drawn from a generator seeded with the given seconds.
int HomePageDraw(int seedSeconds);
void MaybeOpenHomePage();

// The hand cursor from HAND-M.CUR beside the program, when the file exists.
std::optional<QCursor> LoadHandCursor();

// The application's icon, shared by every window.
QIcon ApplicationIcon();

// Ends the whole program at once.
void EndProgram();
// How many times the program was asked to end (tests watch this).
int EndProgramRequests();

} // namespace Main
