#include "editing/ui/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace orvet {
namespace {

const QColor kInk(0x33, 0x3d, 0x4a);
const QColor kBlue(0x2f, 0x6f, 0xb5);
const QColor kGreen(0x3c, 0x96, 0x4b);
const QColor kAmber(0xd8, 0x9b, 0x24);
const QColor kRed(0xc6, 0x2f, 0x2f);

// Draws one 16 × 16 picture, also at twice the size for high-density screens. The picture
// serves the selected state too: the style's tinting of a selected icon with the highlight
// colour would hide the blue parts on a highlighted row.
template <typename Draw>
QIcon drawn(Draw draw) {
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pixmap(16 * scale, 16 * scale);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(scale, scale);
        draw(p);
        icon.addPixmap(pixmap);
        icon.addPixmap(pixmap, QIcon::Selected);
    }
    return icon;
}

// A device case with two lamps: the USPD itself.
void device(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(QColor(0xdd, 0xe3, 0xea));
    p.drawRoundedRect(QRectF(1.5, 3.5, 13, 9), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawEllipse(QPointF(4.5, 8), 1.3, 1.3);
    p.setBrush(kAmber);
    p.drawEllipse(QPointF(8, 8), 1.3, 1.3);
    p.setBrush(kInk);
    p.drawRect(QRectF(10.5, 7, 2.5, 2));
}

// A serial connector: the interfaces.
void connector(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(QColor(0xb8, 0xc4, 0xd2));
    QPainterPath shell;
    shell.moveTo(1.5, 4.5);
    shell.lineTo(14.5, 4.5);
    shell.lineTo(12.5, 11.5);
    shell.lineTo(3.5, 11.5);
    shell.closeSubpath();
    p.drawPath(shell);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    for (int i = 0; i < 5; ++i)
        p.drawEllipse(QPointF(3.8 + i * 2.1, 7), 0.7, 0.7);
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(QPointF(4.8 + i * 2.1, 9.3), 0.7, 0.7);
}

// A serial connector on a bus: lines of kinds 2 to 5 (shared lines, modem, radio).
void busConnector(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(QColor(0xbf, 0xd7, 0xf2));
    QPainterPath shell;
    shell.moveTo(1.5, 2.5);
    shell.lineTo(14.5, 2.5);
    shell.lineTo(12.5, 8.5);
    shell.lineTo(3.5, 8.5);
    shell.closeSubpath();
    p.drawPath(shell);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(QPointF(4.8 + i * 2.1, 5.5), 0.7, 0.7);
    p.setPen(QPen(kBlue, 1.4));
    p.drawLine(QPointF(8, 8.5), QPointF(8, 12.5));
    p.drawLine(QPointF(1, 12.5), QPointF(15, 12.5));
}

// One module case with a lamp in `lamp`.
void moduleCase(QPainter& p, const QColor& face, const QColor& lamp) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(face);
    p.drawRoundedRect(QRectF(2.5, 2.5, 11, 11), 1.5, 1.5);
    p.drawLine(QPointF(4.5, 5.5), QPointF(11.5, 5.5));
    p.setPen(Qt::NoPen);
    p.setBrush(lamp);
    p.drawEllipse(QPointF(5.5, 10), 1.4, 1.4);
}

void module(QPainter& p) {
    moduleCase(p, QColor(0xe6, 0xea, 0xef), kGreen);
}

// A module whose type is still the new module's: a case with a grey lamp and no mark.
void newModule(QPainter& p) {
    moduleCase(p, QColor(0xf4, 0xf4, 0xf4), QColor(0xa0, 0xa0, 0xa0));
}

void kbhaModule(QPainter& p) {
    moduleCase(p, QColor(0xf6, 0xe3, 0xb4), kAmber);
}

// A new-type module passing its traffic on: the case with an arrow out of it.
void retransmittingModule(QPainter& p) {
    p.save();
    p.scale(0.8, 0.8);
    newModule(p);
    p.restore();
    p.setPen(QPen(kGreen.darker(130), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(8, 12.5), QPointF(14.5, 12.5));
    p.drawLine(QPointF(12, 10), QPointF(14.5, 12.5));
    p.drawLine(QPointF(12, 15), QPointF(14.5, 12.5));
}

// Two cases, one behind the other: copying a module.
void copiedModule(QPainter& p) {
    p.save();
    p.translate(-1.5, -1.5);
    p.scale(0.85, 0.85);
    module(p);
    p.restore();
    p.save();
    p.translate(3, 3);
    p.scale(0.8, 0.8);
    module(p);
    p.restore();
}

// A red cross over the lower right corner: "delete".
template <typename Draw>
auto crossedOut(Draw draw) {
    return [draw](QPainter& p) {
        draw(p);
        p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9.5, 9.5), QPointF(14.5, 14.5));
        p.drawLine(QPointF(14.5, 9.5), QPointF(9.5, 14.5));
        p.setPen(QPen(kRed, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9.5, 9.5), QPointF(14.5, 14.5));
        p.drawLine(QPointF(14.5, 9.5), QPointF(9.5, 14.5));
    };
}

// A chip with pins: modules on the board.
void chip(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    for (int i = 0; i < 4; ++i) {
        const double x = 4.5 + i * 2.3;
        p.drawLine(QPointF(x, 1), QPointF(x, 3.5));
        p.drawLine(QPointF(x, 12.5), QPointF(x, 15));
    }
    p.setBrush(QColor(0x4a, 0x52, 0x5c));
    p.drawRect(QRectF(2.5, 3.5, 11, 9));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe0, 0xe0, 0xe0));
    p.drawEllipse(QPointF(5, 6), 0.9, 0.9);
}

// A handset: call back.
void phone(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    QPainterPath handset;
    handset.moveTo(3, 2);
    handset.lineTo(6, 2);
    handset.lineTo(7, 5.5);
    handset.lineTo(5.5, 7);
    handset.cubicTo(6.5, 9, 7, 9.5, 9, 10.5);
    handset.lineTo(10.5, 9);
    handset.lineTo(14, 10);
    handset.lineTo(14, 13);
    handset.cubicTo(8, 14.5, 1.5, 8, 3, 2);
    p.drawPath(handset);
}

// Stacked module cases: external modules.
void modules(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    for (int i = 0; i < 3; ++i) {
        p.setBrush(i == 1 ? QColor(0xc9, 0xdb, 0xf0) : QColor(0xe6, 0xea, 0xef));
        p.drawRect(QRectF(1.5 + i * 4.5, 3.5, 4, 9));
        p.drawLine(QPointF(2.5 + i * 4.5, 5.5), QPointF(4.5 + i * 4.5, 5.5));
    }
}

// A signal trace: channels.
void signal(QPainter& p) {
    p.setPen(QPen(kBlue, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath wave;
    wave.moveTo(1, 9);
    wave.lineTo(4, 9);
    wave.lineTo(6, 3);
    wave.lineTo(9, 13);
    wave.lineTo(11, 6);
    wave.lineTo(12.5, 9);
    wave.lineTo(15, 9);
    p.drawPath(wave);
}

// Numbered rows pushed together: compressing a group of channels.
void compressed(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(QColor(0xdd, 0xe3, 0xea));
    for (int i = 0; i < 3; ++i)
        p.drawRect(QRectF(4.5, 2.5 + i * 4, 7, 3));
    p.setPen(QPen(kBlue, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(1.5, 1), QPointF(1.5, 6));
    p.drawPolyline(QPolygonF({QPointF(0, 4.5), QPointF(1.5, 6), QPointF(3, 4.5)}));
    p.drawLine(QPointF(14.5, 15), QPointF(14.5, 10));
    p.drawPolyline(QPolygonF({QPointF(13, 11.5), QPointF(14.5, 10), QPointF(16, 11.5)}));
}

// A drum of records: archives.
void archive(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(QColor(0xf1, 0xd5, 0x8a));
    p.drawRect(QRectF(2.5, 3.5, 11, 10));
    p.drawEllipse(QRectF(2.5, 1.5, 11, 4));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(2.5, 6, 11, 4), 180 * 16, 180 * 16);
    p.drawArc(QRectF(2.5, 9.5, 11, 4), 180 * 16, 180 * 16);
}

}  // namespace

QIcon imButt(int index) {
    switch (index) {
        case 4:
            return drawn(device);
        case 6:
            return drawn(modules);
        case 7:
            return drawn(signal);
        case 8:
            return drawn(archive);
        case 12:
            return drawn(chip);
        case 13:
            return drawn(connector);
        case 15:
            return drawn(phone);
        default:
            return {};
    }
}

QIcon imIface(int index) {
    switch (index) {
        case 0:
            return drawn(connector);
        case 1:
            return drawn(crossedOut(connector));
        case 2:
            return drawn(busConnector);
        default:
            return {};
    }
}

QIcon imgDev(int index) {
    switch (index) {
        case 0:
            return drawn(module);
        case 1:
            return drawn(crossedOut(module));
        case 2:
            return drawn(newModule);
        case 3:
            return drawn(kbhaModule);
        case 4:
            return drawn(retransmittingModule);
        case 5:
            return drawn(copiedModule);
        default:
            return {};
    }
}

QIcon imChannel(int index) {
    switch (index) {
        case 0:
            return drawn(signal);
        case 1:
            return drawn(crossedOut(signal));
        case 2:
            return drawn(compressed);
        default:
            return {};
    }
}

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
        device(p);
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace orvet
