// Build helper: writes a Windows cursor file (.cur, 32-bit DIB with AND mask)
// from an image, with the given hot spot. Usage: make_cursor IN OUT HOTX HOTY
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QtEndian>

namespace {
void put16(QByteArray& out, quint16 v) { v = qToLittleEndian(v); out.append(reinterpret_cast<const char*>(&v), 2); }
void put32(QByteArray& out, quint32 v) { v = qToLittleEndian(v); out.append(reinterpret_cast<const char*>(&v), 4); }
} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 5)
        return 2;
    const QImage image = QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        return 1;
    const int w = image.width(), h = image.height();
    const int maskStride = ((w + 31) / 32) * 4;

    QByteArray dib;
    put32(dib, 40); put32(dib, quint32(w)); put32(dib, quint32(h * 2));
    put16(dib, 1); put16(dib, 32); put32(dib, 0); put32(dib, 0);
    put32(dib, 0); put32(dib, 0); put32(dib, 0); put32(dib, 0);
    for (int y = h - 1; y >= 0; --y)
        for (int x = 0; x < w; ++x)
            put32(dib, image.pixel(x, y));
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(maskStride, '\0');
        for (int x = 0; x < w; ++x)
            if (qAlpha(image.pixel(x, y)) == 0)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        dib.append(row);
    }

    QByteArray file;
    put16(file, 0); put16(file, 2); put16(file, 1);
    file.append(char(w >= 256 ? 0 : w)); file.append(char(h >= 256 ? 0 : h));
    file.append('\0'); file.append('\0');
    put16(file, quint16(atoi(argv[3]))); put16(file, quint16(atoi(argv[4])));
    put32(file, quint32(dib.size())); put32(file, 6 + 16);
    file.append(dib);

    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size())
        return 1;
    return 0;
}
