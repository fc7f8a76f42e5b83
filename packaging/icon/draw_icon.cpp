// arvex-draw-icon OUTDIR: draws the program's desktop icon, a rising line over a green
// tile, at each size of the hicolor theme into OUTDIR/hicolor/NxN/apps/arvexupdate.png.
// It is drawn rather than scaled, so that the small sizes stay sharp.
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// The drawing, in a 256 x 256 design space.
void Draw(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient tile(0, 0, 0, 256);
    tile.setColorAt(0, QColor(0x74, 0xB5, 0x48));
    tile.setColorAt(1, QColor(0x2F, 0x6B, 0x1D));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 44, 44);

    // A faint base line for the chart.
    p.setPen(QPen(QColor(255, 255, 255, 90), 8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(44, 206), QPointF(212, 206));

    QPainterPath line;
    line.moveTo(44, 178);
    line.lineTo(92, 136);
    line.lineTo(128, 160);
    line.lineTo(184, 92);
    p.setPen(QPen(QColor(0xF4, 0xF9, 0xEE), 20, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(line);

    // The arrow head continues the last segment up and to the right.
    QPainterPath head;
    head.moveTo(218, 50);
    head.lineTo(206, 118);
    head.lineTo(152, 74);
    head.closeSubpath();
    p.setPen(QPen(QColor(0xF4, 0xF9, 0xEE), 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(0xF4, 0xF9, 0xEE));
    p.drawPath(head);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: arvex-draw-icon OUTDIR\n", stderr);
        return 2;
    }
    for (const int size : kSizes) {
        const QString dir = QStringLiteral("%1/hicolor/%2x%2/apps").arg(argv[1]).arg(size);
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.scale(size / 256.0, size / 256.0);
            Draw(p);
        }
        if (!QDir().mkpath(dir) || !image.save(dir + QStringLiteral("/arvexupdate.png"))) {
            std::fprintf(stderr, "arvex-draw-icon: cannot write %s\n", qPrintable(dir));
            return 1;
        }
    }
    return 0;
}
