#pragma once
// The text an export builds, already in the locale's encoding: kept in memory,
// and spilled to a temporary file once it grows past a few megabytes, so that
// exporting a very large table needs no more memory than a small one. Nothing
// reaches the chosen file before saveTo, which writes it whole.
#include <QByteArray>
#include <QString>
#include <QStringEncoder>
#include <QTemporaryFile>
#include <memory>
#include <string_view>

class TextSink {
public:
    TextSink();
    TextSink& operator+=(const QString& text);
    TextSink& operator+=(QChar c);
    TextSink& operator+=(QLatin1StringView text);
    // Text given as UTF-8 bytes.
    TextSink& appendUtf8(std::string_view text);
    // Writes everything to the file (created, or emptied first). Throws AppError.
    void saveTo(const QString& fileName);

    // How many bytes stay in memory before the text spills (tests lower it).
    static void SetMemoryLimit(qsizetype bytes);

private:
    void spillIfFull();
    void spill();

    QByteArray pending_;
    QStringEncoder encoder_{QStringConverter::System};
    bool utf8_ = false; // the locale's encoding is UTF-8: bytes go in as they are
    std::unique_ptr<QTemporaryFile> spilled_;
};
