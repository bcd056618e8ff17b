#pragma once
// The text an export builds, already in the locale's encoding: kept in memory,
// and spilled to a temporary file beside the chosen file once it grows past a
// few megabytes, so that exporting a very large table needs no more memory
// than a small one. Nothing reaches the chosen name before save(), which puts
// the whole text there at once: at any instant the name holds the old file or
// the complete new one. A new file gets the mode the umask gives; an existing
// one keeps its mode and owner; a symbolic link is written through.
#include <QByteArray>
#include <QString>
#include <QStringEncoder>
#include <QSaveFile>
#include <QTemporaryFile>
#include <memory>
#include <string_view>

class TextSink {
public:
    explicit TextSink(QString destination);
    ~TextSink();
    TextSink& operator+=(const QString& text);
    TextSink& operator+=(QChar c);
    TextSink& operator+=(QLatin1StringView text);
    // Text given as UTF-8 bytes.
    TextSink& appendUtf8(std::string_view text);
    // Bytes already in the locale's encoding.
    TextSink& appendEncoded(const QByteArray& bytes);
    // Puts the whole text in place under the chosen name. Throws AppError, and
    // then the name holds what it held before.
    void save();
    // The text could not be spilled (the disk is full): what is added from
    // then on is dropped, and save() says why, once.
    bool failed() const { return !failure_.isEmpty(); }

    // How many bytes stay in memory before the text spills (tests lower it).
    static void setMemoryLimit(qsizetype bytes);

private:
    void spillIfFull();
    void spill();

    void writeOut(QFileDevice& file, const QByteArray& bytes) const;

    QString destination_;
    QString failure_;
    QByteArray pending_;
    QStringEncoder encoder_{QStringConverter::System};
    bool utf8_ = false; // the locale's encoding is UTF-8: bytes go in as they are
    std::unique_ptr<QSaveFile> target_;        // beside the chosen file, once the text spills
    std::unique_ptr<QTemporaryFile> spilled_;  // where that folder takes no file until save()
};
