#include "qt/artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace dekvanto::qt {
namespace {

const QColor kDeepBlue(16, 42, 92);
const QColor kSignalBlue(40, 110, 200);
const QColor kAmber(240, 170, 30);

// A phone seen from the front, in a box of the given size at the origin.
void DrawPhone(QPainter &painter, const QRectF &box) {
    painter.setPen(QPen(Qt::white, box.width() / 14.0));
    painter.setBrush(kDeepBlue);
    painter.drawRoundedRect(box, box.width() / 6.0, box.width() / 6.0);
    const QRectF screen(box.x() + box.width() * 0.2, box.y() + box.height() * 0.12,
                        box.width() * 0.6, box.height() * 0.38);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kAmber);
    painter.drawRect(screen);
    painter.setBrush(Qt::white);
    const qreal key = box.width() * 0.14;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            painter.drawRect(QRectF(box.x() + box.width() * (0.2 + 0.23 * column),
                                    box.y() + box.height() * (0.58 + 0.12 * row), key, key * 0.6));
        }
    }
}

// The icon's picture on a 32 x 32 grid: the phone and the end of its line.
void DrawIcon(QPainter &painter) {
    DrawPhone(painter, QRectF(8, 2, 16, 28));
    painter.setPen(QPen(kAmber, 2));
    painter.drawLine(QPointF(1, 16), QPointF(7, 16));
}

}  // namespace

QImage BannerImage() {
    QImage image(kBannerWidth, kBannerHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, kBannerWidth, 0);
    sky.setColorAt(0, kDeepBlue);
    sky.setColorAt(1, kSignalBlue);
    painter.fillRect(image.rect(), sky);

    // The line from the PC to the phone: bytes on their way.
    painter.setPen(QPen(kAmber, 3));
    painter.drawLine(QPointF(70, 52), QPointF(385, 52));
    painter.setPen(Qt::NoPen);
    painter.setBrush(kAmber);
    for (int x = 90; x < 370; x += 22) {
        painter.drawRect(QRectF(x, 46, 10, 12));
    }
    DrawPhone(painter, QRectF(398, 8, 34, 58));
    // The PC end: a connector.
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(22, 40, 48, 24), 4, 4);

    QFont title(QStringLiteral("Sans Serif"));
    title.setPixelSize(28);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(20, 4, 225, 36), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("DEK VANTO"));
    QFont subtitle(QStringLiteral("Sans Serif"));
    subtitle.setPixelSize(12);
    painter.setFont(subtitle);
    painter.drawText(QRectF(250, 10, 140, 28), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("firmware downloader"));
    painter.end();
    return image.convertToFormat(QImage::Format_Indexed8, Qt::DiffuseDither);
}

QImage IconImage() {
    QImage image(kIconSize, kIconSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    DrawIcon(painter);
    painter.end();
    // Sixteen colours at most: the colours used above and a transparent one.
    const QList<QRgb> palette = {qRgba(0, 0, 0, 0),  kDeepBlue.rgb(),     kSignalBlue.rgb(),
                                 kAmber.rgb(),       qRgb(255, 255, 255), qRgb(0, 0, 0),
                                 qRgb(128, 128, 128)};
    return image.convertToFormat(QImage::Format_Indexed8, palette, Qt::ThresholdDither);
}

QImage DesktopIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / static_cast<qreal>(kIconSize), size / static_cast<qreal>(kIconSize));
    DrawIcon(painter);
    painter.end();
    return image;
}

QIcon ProgramIcon() {
    return QIcon(QPixmap::fromImage(IconImage()));
}

}  // namespace dekvanto::qt
