#include "TextSink.h"

#include "DataGrid1.h"
#include "data/error.h"
#include "platform/fileowner.h"

#include <QDir>
#include <QFile>
#include <QUtf8StringView>
#include <algorithm>

namespace {
qsizetype keepInMemory = qsizetype(4) << 20; // bytes (the buffer may grow to twice this)
}

void TextSink::setMemoryLimit(qsizetype bytes) { keepInMemory = bytes; }

TextSink::TextSink(QString destination) : destination_(std::move(destination))
{
    // The locale's encoder is asked directly: its name ("Locale") says nothing.
    QStringEncoder probe(QStringConverter::System);
    utf8_ = QByteArray(probe(QStringView(u"\u00e9\u20ac"))) == QByteArrayLiteral("\xc3\xa9\xe2\x82\xac");
}

void TextSink::spillIfFull()
{
    if (pending_.size() <= keepInMemory)
        return;
    if (failed()) {
        pending_.clear();
        return;
    }
    try {
        spill();
    } catch (const AppError& error) {
        // Told once, when the text is saved; nothing more is kept meanwhile.
        failure_ = error.description();
        pending_.clear();
        target_.reset(); // (a save file never committed leaves nothing)
        spilled_.reset();
    }
}

TextSink& TextSink::operator+=(const QString& text)
{
    pending_ += encoder_(text);
    spillIfFull();
    return *this;
}

TextSink& TextSink::operator+=(QChar c)
{
    if (utf8_ && c.unicode() < 0x80)
        pending_ += char(c.unicode());
    else
        pending_ += encoder_(QStringView(&c, 1));
    return *this;
}

TextSink& TextSink::operator+=(QLatin1StringView text)
{
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (utf8_ && ascii) {
        pending_.append(text.data(), text.size());
        spillIfFull();
        return *this;
    }
    return *this += QString(text);
}

TextSink::~TextSink() = default; // an unsaved text is dropped; the chosen name is untouched

TextSink& TextSink::appendEncoded(const QByteArray& bytes)
{
    pending_ += bytes;
    spillIfFull();
    return *this;
}

TextSink& TextSink::appendUtf8(std::string_view text)
{
    // Invalid UTF-8 is written as the grid shows it (U+FFFD), like any other text.
    if (utf8_ && QUtf8StringView(text.data(), qsizetype(text.size())).isValidUtf8()) {
        pending_.append(text.data(), qsizetype(text.size()));
        spillIfFull();
        return *this;
    }
    return *this += QString::fromUtf8(text.data(), qsizetype(text.size()));
}

void TextSink::writeOut(QFileDevice& file, const QByteArray& bytes) const
{
    if (file.write(bytes) != bytes.size())
        throw AppError(QStringLiteral("%1: %2").arg(file.errorString(), destination_));
}

void TextSink::spill()
{
    if (!target_ && !spilled_) {
        target_ = std::make_unique<QSaveFile>(destination_);
        if (!target_->open(QIODevice::WriteOnly)) {
            // The folder takes no file now: the failure is reported when the text is saved.
            target_.reset();
            spilled_ = std::make_unique<QTemporaryFile>(QDir::tempPath() + QLatin1String("/vestrel-export-XXXXXX"));
            if (!spilled_->open())
                throw AppError(QStringLiteral("%1: %2").arg(spilled_->errorString(), spilled_->fileTemplate()));
        }
    }
    writeOut(target_ ? static_cast<QFileDevice&>(*target_) : *spilled_, pending_);
    pending_.clear();
}

void TextSink::save()
{
    if (failed())
        throw AppError(failure_);
    if (!target_) {
        auto target = std::make_unique<QSaveFile>(destination_);
        if (!target->open(QIODevice::WriteOnly))
            throw AppError(QStringLiteral("%1: %2").arg(target->errorString(), destination_));
        if (spilled_) {
            spilled_->seek(0);
            while (!spilled_->atEnd())
                writeOut(*target, spilled_->read(qint64(4) << 20));
            spilled_.reset();
        }
        target_ = std::move(target);
    }
    writeOut(*target_, pending_);
    pending_.clear();
    KeepOwner(*target_, destination_);
    const bool committed = target_->commit();
    const QString error = target_->errorString();
    target_.reset();
    if (!committed)
        throw AppError(QStringLiteral("%1: %2").arg(error, destination_));
}
