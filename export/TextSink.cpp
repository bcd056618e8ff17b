#include "TextSink.h"

#include "DataGrid1.h"
#include "data/error.h"

#include <QDir>
#include <QFile>
#include <algorithm>

namespace {
qsizetype keepInMemory = qsizetype(16) << 20; // bytes
}

void TextSink::SetMemoryLimit(qsizetype bytes) { keepInMemory = bytes; }

TextSink::TextSink()
{
    // The locale's encoder is asked directly: its name ("Locale") says nothing.
    QStringEncoder probe(QStringConverter::System);
    utf8_ = QByteArray(probe(QStringView(u"\u00e9\u20ac"))) == QByteArrayLiteral("\xc3\xa9\xe2\x82\xac");
}

void TextSink::spillIfFull()
{
    if (pending_.size() > keepInMemory)
        spill();
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

TextSink& TextSink::appendUtf8(std::string_view text)
{
    if (utf8_) {
        pending_.append(text.data(), qsizetype(text.size()));
        spillIfFull();
        return *this;
    }
    return *this += QString::fromUtf8(text.data(), qsizetype(text.size()));
}

void TextSink::spill()
{
    if (!spilled_) {
        spilled_ = std::make_unique<QTemporaryFile>(QDir::tempPath() + QLatin1String("/vestrel-export-XXXXXX"));
        if (!spilled_->open())
            throw AppError(QStringLiteral("%1: %2").arg(spilled_->errorString(), spilled_->fileTemplate()));
    }
    if (spilled_->write(pending_) != pending_.size())
        throw AppError(QStringLiteral("%1: %2").arg(spilled_->errorString(), spilled_->fileName()));
    pending_.clear();
}

void TextSink::saveTo(const QString& fileName)
{
    if (!spilled_) {
        DataGrid1::SaveBytesToFile(pending_, fileName);
        return;
    }
    spill();
    if (!spilled_->flush())
        throw AppError(QStringLiteral("%1: %2").arg(spilled_->errorString(), spilled_->fileName()));
    // Moved into place where the folders allow it, copied otherwise.
    QFile::remove(fileName);
    if (spilled_->rename(fileName)) {
        spilled_->setAutoRemove(false);
        spilled_.reset();
        QFile::setPermissions(fileName, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        return;
    }
    QFile target(fileName);
    if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw AppError(QStringLiteral("%1: %2").arg(target.errorString(), fileName));
    spilled_->seek(0);
    while (!spilled_->atEnd()) {
        const QByteArray chunk = spilled_->read(qint64(4) << 20);
        if (target.write(chunk) != chunk.size()) {
            const QString error = target.errorString();
            target.close();
            target.remove();
            throw AppError(QStringLiteral("%1: %2").arg(error, fileName));
        }
    }
    target.close();
    spilled_.reset();
}
