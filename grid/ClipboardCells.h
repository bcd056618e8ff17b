#pragma once
// Copied cells on the clipboard: the tab-separated text, and the same as an
// HTML table. Each form is made when a program pasting asks for it (the
// text is kept as UTF-8: a copy of a million rows is not held three times).
#include <QByteArray>
#include <QMimeData>

class ClipboardCells : public QMimeData {
public:
    explicit ClipboardCells(QByteArray tsv) : tsv_(std::move(tsv)) {}
    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    QByteArray tsv_;
    mutable QByteArray html_; // (made once, when first asked for)
};
