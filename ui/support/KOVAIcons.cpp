#include "KOVAIcons.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

const QColor KInk(40, 48, 64);
const QColor KBlue(52, 111, 196);
const QColor KGreen(58, 150, 80);
const QColor KRed(200, 60, 50);
const QColor KOrange(228, 140, 30);
const QColor KPaper(250, 250, 244);
const QColor KGrey(150, 156, 166);

void Document(QPainter& p, const QColor& lines)
{
    p.setPen(QPen(KInk, 0.8));
    p.setBrush(KPaper);
    QPainterPath page;
    page.moveTo(3, 1);
    page.lineTo(10, 1);
    page.lineTo(13, 4);
    page.lineTo(13, 15);
    page.lineTo(3, 15);
    page.closeSubpath();
    p.drawPath(page);
    p.setPen(QPen(lines, 1));
    for (int y = 5; y <= 12; y += 2)
        p.drawLine(QPointF(5, y), QPointF(11, y));
}

void Folder(QPainter& p)
{
    p.setPen(QPen(KInk, 0.8));
    p.setBrush(KOrange);
    QPainterPath path;
    path.moveTo(1, 4);
    path.lineTo(6, 4);
    path.lineTo(7.5, 5.5);
    path.lineTo(15, 5.5);
    path.lineTo(15, 13.5);
    path.lineTo(1, 13.5);
    path.closeSubpath();
    p.drawPath(path);
}

void Gear(QPainter& p, const QColor& colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.save();
    p.translate(8, 8);
    for (int i = 0; i < 8; ++i) {
        p.drawRect(QRectF(-1.3, -7.2, 2.6, 3.5));
        p.rotate(45);
    }
    p.restore();
    p.drawEllipse(QPointF(8, 8), 5, 5);
    p.setBrush(KPaper);
    p.drawEllipse(QPointF(8, 8), 2, 2);
}

void Badge(QPainter& p, const QColor& colour, bool plus)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QPointF(11.5, 11.5), 4, 4);
    p.setPen(QPen(Qt::white, 1.6));
    p.drawLine(QPointF(9.5, 11.5), QPointF(13.5, 11.5));
    if (plus)
        p.drawLine(QPointF(11.5, 9.5), QPointF(11.5, 13.5));
}

void Paint(QPainter& p, int index)
{
    switch (index) {
    case kiOpen:
        Folder(p);
        p.setPen(QPen(KGreen, 2));
        p.drawLine(QPointF(11, 2), QPointF(11, 8));
        p.drawLine(QPointF(8.5, 4.5), QPointF(11, 2));
        p.drawLine(QPointF(13.5, 4.5), QPointF(11, 2));
        break;
    case kiSave:
        p.setPen(QPen(KInk, 0.8));
        p.setBrush(KBlue);
        p.drawRoundedRect(QRectF(2, 2, 12, 12), 1.5, 1.5);
        p.setBrush(KPaper);
        p.drawRect(QRectF(4.5, 2, 7, 4.5));
        p.drawRect(QRectF(4, 9, 8, 5));
        break;
    case kiConfiguration:
        Gear(p, KBlue);
        break;
    case kiIniEditor:
        Document(p, KBlue);
        break;
    case kiFolder:
        Folder(p);
        break;
    case kiDelete:
        p.setPen(QPen(KRed, 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case kiStatistics:
        p.setPen(QPen(KInk, 0.8));
        p.setBrush(KGreen);
        p.drawRect(QRectF(2, 8, 3, 6));
        p.setBrush(KBlue);
        p.drawRect(QRectF(6.5, 4, 3, 10));
        p.setBrush(KOrange);
        p.drawRect(QRectF(11, 6, 3, 8));
        p.drawLine(QPointF(1, 14.5), QPointF(15, 14.5));
        break;
    case kiGameSettings:
        p.setPen(QPen(KInk, 1.2));
        for (int i = 0; i < 3; ++i)
            p.drawLine(QPointF(2, 4 + 4 * i), QPointF(14, 4 + 4 * i));
        p.setPen(QPen(KInk, 0.8));
        p.setBrush(KOrange);
        p.drawRect(QRectF(9, 2.5, 3, 3));
        p.setBrush(KBlue);
        p.drawRect(QRectF(4, 6.5, 3, 3));
        p.setBrush(KGreen);
        p.drawRect(QRectF(10, 10.5, 3, 3));
        break;
    case kiMaps: {
        p.setPen(QPen(KInk, 0.8));
        QPolygonF map;
        map << QPointF(1, 3) << QPointF(5.5, 1.5) << QPointF(10.5, 3) << QPointF(15, 1.5)
            << QPointF(15, 13) << QPointF(10.5, 14.5) << QPointF(5.5, 13) << QPointF(1, 14.5);
        p.setBrush(QColor(170, 214, 150));
        p.drawPolygon(map);
        p.drawLine(QPointF(5.5, 1.5), QPointF(5.5, 13));
        p.drawLine(QPointF(10.5, 3), QPointF(10.5, 14.5));
        p.setBrush(KRed);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(8, 7), 1.8, 1.8);
        break;
    }
    case kiProfiles:
        p.setPen(QPen(KInk, 0.8));
        p.setBrush(KBlue);
        p.drawEllipse(QPointF(8, 5), 3, 3);
        p.drawChord(QRectF(2.5, 9, 11, 10), 0, 180 * 16);
        break;
    case kiPlay: {
        p.setPen(QPen(KInk, 0.8));
        p.setBrush(KGreen);
        QPolygonF triangle;
        triangle << QPointF(4, 2) << QPointF(14, 8) << QPointF(4, 14);
        p.drawPolygon(triangle);
        break;
    }
    case kiExtract:
        p.setPen(QPen(KInk, 0.8));
        p.setBrush(KGrey);
        p.drawRect(QRectF(2, 9, 12, 5));
        p.setPen(QPen(KGreen, 2));
        p.drawLine(QPointF(8, 1.5), QPointF(8, 8));
        p.drawLine(QPointF(5, 5.5), QPointF(8, 8.5));
        p.drawLine(QPointF(11, 5.5), QPointF(8, 8.5));
        break;
    case kiAdd:
        Document(p, KGrey);
        Badge(p, KGreen, true);
        break;
    case kiAbout: {
        p.setPen(Qt::NoPen);
        p.setBrush(KBlue);
        p.drawEllipse(QPointF(8, 8), 7, 7);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(8, 4.5), 1.2, 1.2);
        p.drawRect(QRectF(7, 6.8, 2, 5.7));
        break;
    }
    case kiSystemIntegration:
        p.setPen(QPen(KInk, 0.8));
        p.setBrush(KGrey);
        p.drawRoundedRect(QRectF(1, 2, 14, 10), 1, 1);
        p.setBrush(KBlue);
        p.drawRect(QRectF(2.5, 3.5, 11, 7));
        p.setBrush(KGrey);
        p.drawRect(QRectF(5, 12, 6, 2.5));
        break;
    case kiRename:
        p.setPen(QPen(KInk, 0.8));
        p.setBrush(KPaper);
        p.drawRect(QRectF(1, 5, 14, 6));
        p.setPen(QPen(KBlue, 1.4));
        p.drawLine(QPointF(9, 3), QPointF(9, 13));
        p.drawLine(QPointF(7.5, 3), QPointF(10.5, 3));
        p.drawLine(QPointF(7.5, 13), QPointF(10.5, 13));
        break;
    case kiAddSection:
        Document(p, KBlue);
        Badge(p, KGreen, true);
        break;
    case kiDeleteSection:
        Document(p, KBlue);
        Badge(p, KRed, false);
        break;
    case kiScreenshots:
        p.setPen(QPen(KInk, 0.8));
        p.setBrush(KGrey);
        p.drawRoundedRect(QRectF(1, 4, 14, 10), 1.5, 1.5);
        p.drawRect(QRectF(5, 2.5, 5, 2));
        p.setBrush(KBlue);
        p.drawEllipse(QPointF(8, 9), 3.2, 3.2);
        break;
    case kiDemos:
        p.setPen(QPen(KInk, 0.8));
        p.setBrush(KInk);
        p.drawRect(QRectF(2, 1, 12, 14));
        p.setBrush(KPaper);
        for (int y = 2; y < 15; y += 3) {
            p.drawRect(QRectF(2.8, y, 1.6, 1.6));
            p.drawRect(QRectF(11.6, y, 1.6, 1.6));
        }
        p.setBrush(KBlue);
        p.drawRect(QRectF(5.5, 3, 5, 4));
        p.drawRect(QRectF(5.5, 9, 5, 4));
        break;
    case kiCache:
        p.setPen(QPen(KInk, 0.8));
        p.setBrush(KOrange);
        p.drawRect(QRectF(2, 4, 12, 9));
        p.drawEllipse(QRectF(2, 10.5, 12, 4.5));
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(2.4, 10, 11.2, 3));
        p.setPen(QPen(KInk, 0.8));
        p.setBrush(QColor(245, 190, 110));
        p.drawEllipse(QRectF(2, 1.5, 12, 4.5));
        break;
    default:
        break;
    }
}

QPixmap Render(int index, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 16.0, size / 16.0);
    Paint(painter, index);
    return pixmap;
}

} // namespace

QIcon KOVAIcon(int index)
{
    if (index < 0 || index >= kiImageCount)
        return QIcon();
    static QHash<int, QIcon> cache;
    auto it = cache.find(index);
    if (it == cache.end()) {
        QIcon icon;
        for (int size : {16, 24, 32})
            icon.addPixmap(Render(index, size));
        it = cache.insert(index, icon);
    }
    return *it;
}

QPixmap KOVALogo(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    // A tile in the program's blue, with a "K" of strokes and an orange spark beside it.
    QLinearGradient tile(0, 0, 0, 64);
    tile.setColorAt(0, KBlue.lighter(125));
    tile.setColorAt(1, KBlue.darker(130));
    p.setPen(QPen(KInk, 1.5));
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(3, 3, 58, 58), 12, 12);
    p.setPen(QPen(Qt::white, 8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(20, 15), QPointF(20, 49));
    p.drawPolyline(QPolygonF{QPointF(42, 15), QPointF(24, 32), QPointF(43, 49)});
    p.setPen(Qt::NoPen);
    p.setBrush(KOrange);
    p.drawEllipse(QPointF(48, 24), 4.5, 4.5);
    return pixmap;
}

QImage KOVADemoFileImage(int size)
{
    return Render(kiDemos, size).toImage();
}
