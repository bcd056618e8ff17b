#include "ClipboardCells.h"

#include "CopyText.h"

namespace {
const QString kText = QStringLiteral("text/plain");
const QString kHtml = QStringLiteral("text/html");

QVariant as(const QByteArray& utf8, QMetaType type)
{
    if (type.id() == QMetaType::QString)
        return QString::fromUtf8(utf8);
    return utf8;
}
} // namespace

QStringList ClipboardCells::formats() const { return {kText, kHtml}; }

bool ClipboardCells::hasFormat(const QString& mimeType) const
{
    return mimeType == kHtml || mimeType.startsWith(kText);
}

QVariant ClipboardCells::retrieveData(const QString& mimeType, QMetaType type) const
{
    if (mimeType == kHtml) {
        if (html_.isNull())
            html_ = TsvHtml(tsv_);
        return as(html_, type);
    }
    if (mimeType.startsWith(kText)) // (also "text/plain;charset=utf-8")
        return as(tsv_, type);
    return {};
}
