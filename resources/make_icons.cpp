// Build helper: writes the program's icon as PNG files of the desktop's icon
// sizes. Usage: make_icons IN OUTDIR (writes OUTDIR/SIZExSIZE/apps/vestrel.png)
#include <QDir>
#include <QGuiApplication>
#include <QImage>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QImage image(QString::fromLocal8Bit(argv[1]));
    if (image.isNull())
        return 1;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(size);
        if (!QDir().mkpath(dir))
            return 1;
        const QImage scaled = image.scaled(size, size, Qt::KeepAspectRatio,
                                           size < image.width() ? Qt::SmoothTransformation : Qt::FastTransformation);
        if (!scaled.save(dir + QStringLiteral("/vestrel.png")))
            return 1;
    }
    return 0;
}
