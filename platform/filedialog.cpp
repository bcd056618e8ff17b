#include "filedialog.h"

#include <QApplication>
#include <QFileDialog>

namespace {
CommonDialog::Handler& handler()
{
    static CommonDialog::Handler h;
    return h;
}
} // namespace

void CommonDialog::SetHandler(Handler h) { handler() = std::move(h); }

QStringList CommonDialog::QtNameFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        const QString pattern = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        if (!description.contains(QLatin1Char('(')))
            description += QLatin1String(" (") + pattern + QLatin1Char(')');
        else if (!description.contains(pattern))
            description = description.left(description.indexOf(QLatin1Char('('))).trimmed()
                + QLatin1String(" (") + pattern + QLatin1Char(')');
        filters << description;
    }
    return filters;
}

void CommonDialog::ShowOpen() { show(false); }
void CommonDialog::ShowSave() { show(true); }

void CommonDialog::show(bool save)
{
    const Request request{save, DialogTitle, Filter, Flags, FileName};
    if (handler()) {
        FileName = handler()(request);
        return;
    }
    QFileDialog dialog(QApplication::activeWindow(), DialogTitle);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(QtNameFilters(Filter));
    // Replacing an existing file needs no question, as the exports expect.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (!FileName.isEmpty())
        dialog.selectFile(FileName);
    FileName = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
        ? dialog.selectedFiles().constFirst()
        : QString();
}
