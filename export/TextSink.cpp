#include "TextSink.h"

#include "DataGrid1.h"
#include "platform/error.h"

#include <QDir>
#include <QFile>

namespace {
qsizetype keepInMemory = qsizetype(8) << 20; // characters
}

void TextSink::SetMemoryLimit(qsizetype characters) { keepInMemory = characters; }

TextSink& TextSink::operator+=(const QString& text)
{
    pending_ += text;
    if (pending_.size() > keepInMemory)
        spill();
    return *this;
}

TextSink& TextSink::operator+=(QChar c)
{
    pending_ += c;
    return *this;
}

void TextSink::spill()
{
    if (!spilled_) {
        spilled_ = std::make_unique<QTemporaryFile>(QDir::tempPath() + QLatin1String("/vestrel-export-XXXXXX"));
        if (!spilled_->open())
            throw AppError(QStringLiteral("%1: %2").arg(spilled_->errorString(), spilled_->fileTemplate()));
    }
    const QByteArray bytes = encoder_(pending_);
    if (spilled_->write(bytes) != bytes.size())
        throw AppError(QStringLiteral("%1: %2").arg(spilled_->errorString(), spilled_->fileName()));
    pending_.clear();
}

void TextSink::saveTo(const QString& fileName)
{
    if (!spilled_) {
        DataGrid1::SaveStringToFile(pending_, fileName);
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
