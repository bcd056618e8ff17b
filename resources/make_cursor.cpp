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

// One image as a cursor file holds it: a 32-bit DIB, then its AND mask.
QByteArray dibOf(const QImage& image)
{
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
    return dib;
}

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 5)
        return 2;
    const QImage image = QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        return 1;
    const int hotX = atoi(argv[3]), hotY = atoi(argv[4]);
    // The image as drawn, and twice its size for screens of twice the density
    // (each pixel doubled: as sharp as the drawing, never smoothed).
    const QImage images[] = {image, image.scaled(image.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation)};
    const int count = 2;
    QByteArray file, dibs;
    put16(file, 0); put16(file, 2); put16(file, quint16(count));
    quint32 offset = 6 + 16 * count;
    for (int i = 0; i < count; ++i) {
        const QImage& one = images[i];
        const QByteArray dib = dibOf(one);
        const int scale = one.width() / image.width();
        file.append(char(one.width() >= 256 ? 0 : one.width())); file.append(char(one.height() >= 256 ? 0 : one.height()));
        file.append('\0'); file.append('\0');
        put16(file, quint16(hotX * scale)); put16(file, quint16(hotY * scale));
        put32(file, quint32(dib.size())); put32(file, offset);
        offset += quint32(dib.size());
        dibs.append(dib);
    }
    file.append(dibs);

    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size())
        return 1;
    return 0;
}
