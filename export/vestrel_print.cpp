// The print helper: "vestrel-print /p FILE" prints the text file to the default
// printer, in a fixed-width font with the tab-separated columns lined up, over
// as many pages as it needs, and ends. Exit status 0: the job reached the printer.
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStringDecoder>
#include <cstdio>

namespace {
// Lines with the tab-separated fields padded so that columns line up.
QStringList lineUp(const QString& text)
{
    QList<QStringList> rows;
    for (const QString& line : text.split(QStringLiteral("\r\n")))
        rows << line.split(QLatin1Char('\t'));
    while (!rows.isEmpty() && rows.last() == QStringList{QString()})
        rows.removeLast();
    QList<int> widths;
    for (const QStringList& fields : rows)
        for (int i = 0; i < fields.size(); ++i) {
            if (widths.size() <= i)
                widths << 0;
            widths[i] = std::max(widths[i], int(fields[i].size()));
        }
    QStringList lines;
    for (const QStringList& fields : rows) {
        QString line;
        for (int i = 0; i < fields.size(); ++i)
            line += i + 1 < fields.size() ? fields[i].leftJustified(widths[i] + 2) : fields[i];
        lines << (line.trimmed().isEmpty() ? QString() : line);
    }
    return lines;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3 || args[1].compare(QLatin1String("/p"), Qt::CaseInsensitive) != 0) {
        std::fprintf(stderr, "usage: vestrel-print /p FILE\n");
        return 2;
    }
    QFile file(args[2]);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "vestrel-print: %s: %s\n", qPrintable(args[2]), qPrintable(file.errorString()));
        return 3;
    }
    QStringDecoder decode(QStringConverter::System);
    const QStringList lines = lineUp(decode(file.readAll()));

    const QPrinterInfo target = QPrinterInfo::defaultPrinter();
    if (target.isNull()) {
        std::fprintf(stderr, "vestrel-print: there is no default printer\n");
        return 4;
    }
    QPrinter printer(target, QPrinter::HighResolution);
    printer.setDocName(QFileInfo(args[2]).fileName());
    printer.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);

    // A fixed-width font, as large as 10 pt and as small as 6 pt, to fit the widest line.
    QFont font(QStringLiteral("Liberation Mono"));
    font.setStyleHint(QFont::Monospace);
    qsizetype widest = 1;
    for (const QString& line : lines)
        widest = std::max(widest, line.size());
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    double points = 10;
    for (; points > 6; points -= 0.5) {
        font.setPointSizeF(points);
        if (QFontMetricsF(font, &printer).horizontalAdvance(QString(widest, QLatin1Char('M'))) <= page.width())
            break;
    }
    font.setPointSizeF(points);

    QPainter painter;
    if (!painter.begin(&printer)) {
        std::fprintf(stderr, "vestrel-print: cannot print to %s\n", qPrintable(target.printerName()));
        return 5;
    }
    painter.setFont(font);
    const QFontMetricsF metrics(font, &printer);
    const double step = metrics.lineSpacing();
    double y = metrics.ascent();
    for (const QString& line : lines) {
        if (y > page.height()) {
            printer.newPage();
            y = metrics.ascent();
        }
        painter.drawText(QPointF(0, y), line);
        y += step;
    }
    const bool printed = painter.end() && printer.printerState() != QPrinter::Error;
    if (!printed) {
        std::fprintf(stderr, "vestrel-print: the job did not reach %s\n", qPrintable(target.printerName()));
        return 6;
    }
    return 0;
}
