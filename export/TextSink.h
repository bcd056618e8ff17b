#pragma once
// The text an export builds: kept in memory, and spilled to a temporary file
// once it grows past a few megabytes, so that exporting a very large table
// needs no more memory than a small one. Nothing reaches the chosen file
// before saveTo, which writes it whole.
#include <QString>
#include <QStringEncoder>
#include <QTemporaryFile>
#include <memory>

class TextSink {
public:
    TextSink& operator+=(const QString& text);
    TextSink& operator+=(QChar c);
    // Writes everything to the file (created, or emptied first). Throws AppError.
    void saveTo(const QString& fileName);

    // How many characters stay in memory before the text spills (tests lower it).
    static void SetMemoryLimit(qsizetype characters);

private:
    void spill();

    QString pending_;
    QStringEncoder encoder_{QStringConverter::System};
    std::unique_ptr<QTemporaryFile> spilled_;
};
