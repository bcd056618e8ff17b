#include "filedialog.h"

#include <QApplication>
#include "messagebox.h"

#include <QFileDialog>
#include <QFileInfo>

namespace {
CommonDialog::Handler& handler()
{
    static CommonDialog::Handler h;
    return h;
}
} // namespace

void CommonDialog::setHandler(Handler h) { handler() = std::move(h); }

QStringList CommonDialog::qtNameFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        QString pattern = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        // "*.*" means every file, names without a dot included.
        if (pattern == QLatin1String("*.*"))
            pattern = QStringLiteral("*");
        if (!description.contains(QLatin1Char('(')))
            description += QLatin1String(" (") + pattern + QLatin1Char(')');
        else if (!description.contains(QLatin1Char('(') + pattern + QLatin1Char(')')))
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
    for (;;) {
        const QString chosen = ask(save);
        // Saving over an existing file is asked first; No returns to the dialog.
        if (!save || chosen.isEmpty() || !QFileInfo::exists(chosen)) {
            FileName = chosen;
            return;
        }
        const QString question = QFileInfo(chosen).fileName()
            + QLatin1String(" already exists.\nDo you want to replace it?");
        if (MsgBox(question, vbYesNo | vbExclamation, DialogTitle.isEmpty() ? QStringLiteral("Save") : DialogTitle)
            == vbYes) {
            FileName = chosen;
            return;
        }
        FileName = chosen;
    }
}

QString CommonDialog::ask(bool save) const
{
    const Request request{save, DialogTitle, Filter, Flags, FileName};
    if (handler())
        return handler()(request);
    QFileDialog dialog(QApplication::activeWindow(), DialogTitle);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // A name that does not exist yet is returned like any other.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(qtNameFilters(Filter));
    // The replace question is asked by show(), the same for every dialog.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (!FileName.isEmpty())
        dialog.selectFile(FileName);
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().constFirst()
                                                                                   : QString();
}
