// Draws the pictures of the calling program: the control panel's button
// bitmaps, the decorative picture, the video placeholder, the splash picture
// and the PNG sizes of the program icon.
//
//   kestrel-panel-art <resources folder>
//
// Reads <resources>/icons/hicolor/scalable/apps/kestrel.svg, whose element
// "bird" is the kestrel every picture shows, and writes
// <resources>/bitmaps/<id>.png and <resources>/icons/hicolor/<n>x<n>/apps/kestrel.png.
// The bitmaps carry no words: the panel is the same in every language.

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QRadialGradient>
#include <QSvgRenderer>
#include <QtMath>

#include <cstdio>
#include <functional>

namespace {

const QColor kPanel(168, 149, 24); // the panel's background, 0x1895A8 as the view stores it
const QColor kInk(244, 235, 208);  // the glyphs on the dark buttons

enum class Look { Normal, Hot, Pressed, Disabled };

enum class Family { Dark, Green, Red };

struct Shade {
    QColor top;
    QColor bottom;
    QColor ink;
};

// Hot is lighter, pressed darker with the light from below, disabled grey.
Shade ShadeOf(Family family, Look look)
{
    Shade base;
    switch (family) {
    case Family::Dark: base = {QColor(84, 90, 100), QColor(33, 36, 41), kInk}; break;
    case Family::Green: base = {QColor(92, 201, 104), QColor(27, 118, 42), QColor(255, 255, 255)}; break;
    case Family::Red: base = {QColor(234, 101, 82), QColor(150, 30, 20), QColor(255, 255, 255)}; break;
    }
    switch (look) {
    case Look::Normal: return base;
    case Look::Hot: return {base.top.lighter(128), base.bottom.lighter(135), base.ink};
    case Look::Pressed: return {base.bottom.darker(135), base.top.darker(125), base.ink.darker(112)};
    case Look::Disabled: return {QColor(170, 167, 150), QColor(128, 125, 110), QColor(204, 200, 186)};
    }
    return base;
}

QImage NewImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A rounded body one pixel inside the bitmap, with a cast shadow below it,
// a gloss on its upper half, or, pressed, a shadow cast into it from the top.
void DrawBody(QPainter &p, QSize size, const Shade &shade, Look look)
{
    const QRectF body(1.5, 1.5, size.width() - 3.0, size.height() - 4.0);
    const qreal radius = 6.0;
    QPainterPath shape;
    shape.addRoundedRect(body, radius, radius);

    if (look != Look::Pressed)
        p.fillPath(shape.translated(0, 1.0), QColor(0, 0, 0, look == Look::Disabled ? 40 : 95));

    QLinearGradient fill(body.topLeft(), body.bottomLeft());
    fill.setColorAt(0, shade.top);
    fill.setColorAt(1, shade.bottom);
    p.fillPath(shape, fill);

    p.save();
    p.setClipPath(shape);
    if (look == Look::Pressed) {
        QLinearGradient inset(body.topLeft(), body.topLeft() + QPointF(0, 8));
        inset.setColorAt(0, QColor(0, 0, 0, 120));
        inset.setColorAt(1, QColor(0, 0, 0, 0));
        p.fillRect(body, inset);
    } else {
        const QRectF glossRect(body.left() + 1.5, body.top() + 1.0, body.width() - 3.0, body.height() * 0.48);
        QPainterPath gloss;
        gloss.addRoundedRect(glossRect, radius - 1.5, radius - 1.5);
        QLinearGradient sheen(glossRect.topLeft(), glossRect.bottomLeft());
        sheen.setColorAt(0, QColor(255, 255, 255, look == Look::Disabled ? 60 : 85));
        sheen.setColorAt(1, QColor(255, 255, 255, 8));
        p.fillPath(gloss, sheen);
    }
    p.restore();

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(shade.bottom.darker(180), 1.0));
    p.drawPath(shape);
}

void DrawPlayTriangle(QPainter &p, QPointF centre, qreal size, const QColor &colour)
{
    const QPolygonF triangle{centre + QPointF(-0.36 * size, -0.5 * size), centre + QPointF(0.52 * size, 0),
                             centre + QPointF(-0.36 * size, 0.5 * size)};
    p.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(colour);
    p.drawPolygon(triangle);
}

void DrawStopSquare(QPainter &p, QPointF centre, qreal size, const QColor &colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(centre.x() - size / 2, centre.y() - size / 2, size, size), 1.8, 1.8);
}

// A video camera seen from the side: body and lens hood.
void DrawCamera(QPainter &p, QPointF topLeft, const QColor &colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(topLeft.x(), topLeft.y() + 1, 11, 8), 2, 2);
    const QPolygonF hood{topLeft + QPointF(11.5, 5), topLeft + QPointF(16, 2), topLeft + QPointF(16, 8)};
    p.drawPolygon(hood);
}

QPainterPath Gear(QPointF centre, qreal outer, qreal inner, int teeth, qreal hole)
{
    QPolygonF outline;
    const qreal pitch = 2 * M_PI / teeth;
    auto at = [&](qreal angle, qreal radius) {
        return centre + QPointF(radius * qCos(angle), radius * qSin(angle));
    };
    for (int i = 0; i < teeth; ++i) {
        const qreal a = i * pitch;
        outline << at(a - 0.30 * pitch, inner) << at(a - 0.17 * pitch, outer) << at(a + 0.17 * pitch, outer)
                << at(a + 0.30 * pitch, inner);
    }
    QPainterPath path;
    path.addPolygon(outline);
    path.closeSubpath();
    path.addEllipse(centre, hole, hole);
    path.setFillRule(Qt::OddEvenFill);
    return path;
}

// The receiver lying with its ear and mouth pieces down, 28 units wide,
// centred on the origin; the call pose is the same turned by 45 degrees.
QPainterPath Handset()
{
    QPainterPath handle;
    handle.moveTo(5, 8.5);
    handle.cubicTo(8.5, 2.6, 19.5, 2.6, 23, 8.5);
    QPainterPathStroker stroker;
    stroker.setWidth(4.6);
    stroker.setCapStyle(Qt::RoundCap);
    QPainterPath shape = stroker.createStroke(handle);
    QPainterPath pads;
    pads.addRoundedRect(QRectF(0.5, 6.0, 9.5, 6.5), 2.8, 2.8);
    pads.addRoundedRect(QRectF(18.0, 6.0, 9.5, 6.5), 2.8, 2.8);
    shape = shape.united(pads).simplified();
    return QTransform::fromTranslate(-14, -7.5).map(shape);
}

void DrawHandset(QPainter &p, QPointF centre, qreal width, qreal degrees, const QColor &colour)
{
    QTransform place;
    place.translate(centre.x(), centre.y());
    place.rotate(degrees);
    place.scale(width / 28.0, width / 28.0);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(place.map(Handset()));
}

// The kestrel of the icon, scaled into `box` keeping its shape, in its own
// colours or all in one `tint`.
void DrawBird(QPainter &p, QSvgRenderer &svg, const QRectF &box, const QColor &tint = QColor())
{
    const QRectF bounds = svg.boundsOnElement(QStringLiteral("bird"));
    const qreal scale = qMin(box.width() / bounds.width(), box.height() / bounds.height());
    const QSizeF size = bounds.size() * scale;
    const QRectF target(box.center() - QPointF(size.width() / 2, size.height() / 2), size);
    if (!tint.isValid()) {
        const QTransform place = QTransform::fromTranslate(target.left(), target.top())
                                     .scale(scale, scale)
                                     .translate(-bounds.left(), -bounds.top());
        svg.render(&p, QStringLiteral("bird"), target);
        svg.render(&p, QStringLiteral("tailband"), place.mapRect(svg.boundsOnElement(QStringLiteral("tailband"))));
        return;
    }
    QImage layer = NewImage(qCeil(box.right()) + 1, qCeil(box.bottom()) + 1);
    {
        QPainter lp(&layer);
        lp.setRenderHint(QPainter::Antialiasing);
        svg.render(&lp, QStringLiteral("bird"), target);
        lp.setCompositionMode(QPainter::CompositionMode_SourceIn);
        lp.fillRect(layer.rect(), tint);
    }
    p.drawImage(0, 0, layer);
}

using Painting = std::function<void(QPainter &)>;

QImage Paint(int width, int height, const Painting &paint)
{
    QImage image = NewImage(width, height);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    paint(p);
    return image;
}

// Local Play/Stop, 124 x 30: a round well with play (stopped look) or stop
// (playing look), and a dark strip with the camera and a signal meter that
// lights up while the local picture runs.
QImage PlayButton(bool playing, Look look)
{
    return Paint(124, 30, [&](QPainter &p) {
        const Shade shade = ShadeOf(Family::Dark, look);
        DrawBody(p, {124, 30}, shade, look);
        const QPointF nudge = look == Look::Pressed ? QPointF(1, 1) : QPointF(0, 0);
        const bool disabled = look == Look::Disabled;

        const QPointF well = QPointF(16.5, 14.5) + nudge;
        p.setPen(QPen(disabled ? shade.bottom : QColor(0, 0, 0, 150), 1.0));
        p.setBrush(disabled ? shade.bottom.lighter(110) : QColor(16, 18, 21));
        p.drawEllipse(well, 9.5, 9.5);
        QColor play(104, 226, 96), stop(255, 104, 74);
        if (look == Look::Hot) {
            play = play.lighter(118);
            stop = stop.lighter(112);
        }
        if (disabled)
            DrawPlayTriangle(p, well + QPointF(0.5, 0), 9, shade.ink);
        else if (playing)
            DrawStopSquare(p, well, 8.5, stop);
        else
            DrawPlayTriangle(p, well + QPointF(0.5, 0), 9, play);

        const QRectF strip = QRectF(31.5, 7.5, 85, 14).translated(nudge);
        p.setPen(QPen(disabled ? shade.bottom : QColor(0, 0, 0, 160), 1.0));
        p.setBrush(disabled ? shade.bottom.lighter(110) : QColor(16, 18, 21));
        p.drawRoundedRect(strip, 3, 3);
        DrawCamera(p, strip.topLeft() + QPointF(4, 2), disabled ? shade.ink : shade.ink.darker(playing ? 100 : 115));

        const int bars = 10;
        for (int i = 0; i < bars; ++i) {
            const qreal height = 3.0 + i * 0.9;
            const QRectF bar(strip.left() + 26 + i * 5.5, strip.bottom() - 2.5 - height, 3.5, height);
            QColor colour;
            if (disabled)
                colour = shade.ink.darker(110);
            else if (playing)
                colour = QColor::fromHsvF((0.33 - i * 0.018), 0.75, look == Look::Hot ? 1.0 : 0.92);
            else
                colour = look == Look::Hot ? QColor(86, 98, 88) : QColor(62, 72, 64);
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawRoundedRect(bar, 1, 1);
        }
    });
}

// Options, 32 x 30: a gear.
QImage OptionsButton(Look look)
{
    return Paint(32, 30, [&](QPainter &p) {
        const Shade shade = ShadeOf(Family::Dark, look);
        DrawBody(p, {32, 30}, shade, look);
        const QPointF centre = QPointF(16, 14.5) + (look == Look::Pressed ? QPointF(1, 1) : QPointF(0, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(look == Look::Hot ? shade.ink.lighter(106) : shade.ink);
        p.drawPath(Gear(centre, 9.2, 6.6, 8, 2.8));
    });
}

// New Call, 91 x 32: a green button with the receiver and its ring.
QImage NewCallButton(Look look)
{
    return Paint(91, 32, [&](QPainter &p) {
        const Shade shade = ShadeOf(look == Look::Disabled ? Family::Dark : Family::Green, look);
        DrawBody(p, {91, 32}, shade, look);
        const QPointF centre = QPointF(39, 16.5) + (look == Look::Pressed ? QPointF(1, 1) : QPointF(0, 0));
        const QColor ink = shade.ink;
        p.save();
        p.translate(0, 0.6);
        p.setOpacity(0.35);
        DrawHandset(p, centre, 23, 45, QColor(0, 0, 0)); // a soft shadow under the white
        p.restore();
        DrawHandset(p, centre, 23, 45, ink);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(ink, 1.9, Qt::SolidLine, Qt::RoundCap));
        const QPointF ringCentre = centre + QPointF(3, -1);
        for (int i = 0; i < 2; ++i) {
            const qreal r = 9.5 + i * 4.2;
            p.drawArc(QRectF(ringCentre.x() - r, ringCentre.y() - r, 2 * r, 2 * r), -25 * 16, 70 * 16);
        }
    });
}

// End Call, 89 x 32: a red button with the receiver put down.
QImage EndCallButton(Look look)
{
    return Paint(89, 32, [&](QPainter &p) {
        const Shade shade = ShadeOf(Family::Red, look);
        DrawBody(p, {89, 32}, shade, look);
        const QPointF centre = QPointF(44.5, 16) + (look == Look::Pressed ? QPointF(1, 1) : QPointF(0, 0));
        p.save();
        p.translate(0, 0.5);
        p.setOpacity(0.35);
        DrawHandset(p, centre, 30, 0, QColor(0, 0, 0));
        p.restore();
        DrawHandset(p, centre, 30, 0, shade.ink);
    });
}

// 137, 24 x 30, between Local Play/Stop and Options: the kestrel pressed
// into the panel, so that it does not pass for a button.
QImage Decoration(QSvgRenderer &svg)
{
    return Paint(24, 30, [&](QPainter &p) {
        const QRectF box(1, 8, 22, 14);
        DrawBird(p, svg, box.translated(0, 1), kPanel.lighter(135));
        DrawBird(p, svg, box, kPanel.darker(190));
    });
}

// 152, 176 x 144: the video control without video. The view fills the rest
// of a larger control with the colour of the top left pixel, so the edges
// are plain.
QImage NoVideo(QSvgRenderer &svg)
{
    const QColor ground(27, 32, 39);
    return Paint(176, 144, [&](QPainter &p) {
        p.fillRect(0, 0, 176, 144, ground);
        const QPointF centre(88, 72);
        QRadialGradient glow(centre, 70);
        glow.setColorAt(0, QColor(44, 54, 68));
        glow.setColorAt(1, ground);
        p.fillRect(QRectF(18, 2, 140, 140), glow);

        const QColor mark(70, 84, 102);
        p.setPen(QPen(mark, 2.0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        const qreal l = 14, t = 14, r = 162, b = 130, arm = 12;
        p.drawPolyline(QPolygonF{{l, t + arm}, {l, t}, {l + arm, t}});
        p.drawPolyline(QPolygonF{{r - arm, t}, {r, t}, {r, t + arm}});
        p.drawPolyline(QPolygonF{{l, b - arm}, {l, b}, {l + arm, b}});
        p.drawPolyline(QPolygonF{{r - arm, b}, {r, b}, {r, b - arm}});

        p.setPen(QPen(QColor(58, 70, 86), 2.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(centre, 40, 40);
        DrawBird(p, svg, QRectF(centre.x() - 32, centre.y() - 22, 64, 44), QColor(92, 108, 128));
    });
}

// 178, 380 x 240: the splash picture, a kestrel hovering over a dawn sky.
QImage Splash(QSvgRenderer &svg)
{
    return Paint(380, 240, [&](QPainter &p) {
        QLinearGradient sky(0, 0, 0, 240);
        sky.setColorAt(0.0, QColor(12, 34, 62));
        sky.setColorAt(0.55, QColor(40, 100, 150));
        sky.setColorAt(0.85, QColor(226, 160, 96));
        sky.setColorAt(1.0, QColor(240, 196, 120));
        p.fillRect(0, 0, 380, 240, sky);

        QRadialGradient sun(QPointF(290, 236), 120);
        sun.setColorAt(0, QColor(255, 226, 160, 200));
        sun.setColorAt(1, QColor(255, 226, 160, 0));
        p.fillRect(0, 100, 380, 140, sun);

        QPainterPath hills;
        hills.moveTo(0, 240);
        hills.lineTo(0, 214);
        hills.cubicTo(60, 196, 120, 206, 180, 214);
        hills.cubicTo(240, 222, 300, 200, 380, 208);
        hills.lineTo(380, 240);
        hills.closeSubpath();
        p.fillPath(hills, QColor(34, 42, 30));

        // The bird's shadow softens it against the sky.
        DrawBird(p, svg, QRectF(206, 32, 156, 104).translated(2, 3), QColor(0, 0, 0, 70));
        DrawBird(p, svg, QRectF(206, 32, 156, 104));

        QFont small(QStringLiteral("URW Gothic"));
        small.setPixelSize(17);
        small.setWeight(QFont::DemiBold);
        small.setLetterSpacing(QFont::AbsoluteSpacing, 5);
        QFont big(QStringLiteral("URW Gothic"));
        big.setPixelSize(54);
        big.setWeight(QFont::DemiBold);

        const auto shadowed = [&](const QFont &font, QPointF at, const QString &text, const QColor &colour) {
            p.setFont(font);
            p.setPen(QColor(0, 0, 0, 110));
            p.drawText(at + QPointF(1.5, 2), text);
            p.setPen(colour);
            p.drawText(at, text);
        };
        shadowed(small, {28, 92}, QStringLiteral("ORVA"), QColor(240, 214, 160));
        shadowed(big, {24, 148}, QStringLiteral("Kestrel"), QColor(250, 244, 228));
        p.fillRect(QRectF(28, 160, 150, 3), kPanel);

        p.setPen(QPen(QColor(8, 20, 36), 1.0));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(0.5, 0.5, 379, 239));
    });
}

bool Save(const QImage &image, const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "kestrel-panel-art: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrel-panel-art <resources folder>\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    QSvgRenderer svg(root + QStringLiteral("/icons/hicolor/scalable/apps/kestrel.svg"));
    if (!svg.isValid() || !svg.elementExists(QStringLiteral("bird"))) {
        std::fprintf(stderr, "kestrel-panel-art: no icon with a \"bird\" in %s\n", qPrintable(root));
        return 1;
    }

    struct Bitmap {
        int id;
        QImage image;
    };
    const Bitmap bitmaps[] = {
        {137, Decoration(svg)},
        {152, NoVideo(svg)},
        {153, OptionsButton(Look::Hot)},
        {154, OptionsButton(Look::Pressed)},
        {155, OptionsButton(Look::Normal)},
        {156, PlayButton(false, Look::Hot)},
        {157, PlayButton(false, Look::Pressed)},
        {158, PlayButton(false, Look::Normal)},
        {159, EndCallButton(Look::Hot)},
        {160, NewCallButton(Look::Pressed)},
        {161, NewCallButton(Look::Hot)},
        {162, EndCallButton(Look::Normal)},
        {163, EndCallButton(Look::Pressed)},
        {164, NewCallButton(Look::Normal)},
        {167, PlayButton(true, Look::Hot)},
        {168, PlayButton(true, Look::Pressed)},
        {169, PlayButton(true, Look::Normal)},
        {170, NewCallButton(Look::Disabled)},
        {176, PlayButton(false, Look::Disabled)},
        {178, Splash(svg)},
    };
    bool ok = true;
    for (const Bitmap &bitmap : bitmaps)
        ok &= Save(bitmap.image, QStringLiteral("%1/bitmaps/%2.png").arg(root).arg(bitmap.id));

    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QImage icon = NewImage(size, size);
        {
            QPainter p(&icon);
            p.setRenderHint(QPainter::Antialiasing);
            svg.render(&p, QRectF(0, 0, size, size));
        }
        ok &= Save(icon, QStringLiteral("%1/icons/hicolor/%2x%2/apps/kestrel.png").arg(root).arg(size));
    }
    return ok ? 0 : 1;
}
