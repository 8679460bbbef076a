// quoravi-icons: paints the window's tool-bar icons and the application logo as PNG files.
// The images under resources/images/ are made by this program (scripts/draw-icons.sh), so
// they can be changed here and drawn again rather than edited by hand.

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

#include <cmath>
#include <functional>

namespace {

// Tool-bar icons are drawn on a 48-unit grid; Qt scales them to the bar's size.
constexpr int IconSize = 48;
constexpr int LogoSize = 128;

const QColor Outline(40, 40, 40);

QPen outlinePen(qreal width = 2.0)
{
    return QPen(Outline, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void drawArrow(QPainter &p, QPointF from, QPointF to, const QColor &color, qreal width)
{
    const QPointF d = to - from;
    const qreal length = std::hypot(d.x(), d.y());
    const QPointF u = d / length;
    const QPointF n(-u.y(), u.x());
    const qreal head = width * 1.9;
    const QPointF neck = to - u * head;
    QPainterPath path;
    path.moveTo(from + n * width / 2);
    path.lineTo(neck + n * width / 2);
    path.lineTo(neck + n * head);
    path.lineTo(to);
    path.lineTo(neck - n * head);
    path.lineTo(neck - n * width / 2);
    path.lineTo(from - n * width / 2);
    path.closeSubpath();
    p.setPen(outlinePen(1.5));
    p.setBrush(color);
    p.drawPath(path);
}

void drawSheet(QPainter &p, const QRectF &r)
{
    QPainterPath sheet;
    const qreal fold = r.width() * 0.3;
    sheet.moveTo(r.topLeft());
    sheet.lineTo(r.right() - fold, r.top());
    sheet.lineTo(r.right(), r.top() + fold);
    sheet.lineTo(r.bottomRight());
    sheet.lineTo(r.bottomLeft());
    sheet.closeSubpath();
    p.setPen(outlinePen());
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    p.drawLine(QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold));
    p.drawLine(QPointF(r.right() - fold, r.top() + fold), QPointF(r.right(), r.top() + fold));
}

void drawFloppy(QPainter &p, const QRectF &r, const QColor &body)
{
    QPainterPath shape;
    const qreal cut = r.width() * 0.18;
    shape.moveTo(r.topLeft());
    shape.lineTo(r.right() - cut, r.top());
    shape.lineTo(r.right(), r.top() + cut);
    shape.lineTo(r.bottomRight());
    shape.lineTo(r.bottomLeft());
    shape.closeSubpath();
    p.setPen(outlinePen());
    p.setBrush(body);
    p.drawPath(shape);
    // The shutter and the label.
    p.setBrush(QColor(220, 220, 225));
    p.drawRect(QRectF(r.left() + r.width() * 0.25, r.top(), r.width() * 0.45, r.height() * 0.3));
    p.setBrush(body.darker(160));
    p.drawRect(QRectF(r.left() + r.width() * 0.52, r.top() + r.height() * 0.05, r.width() * 0.1,
                      r.height() * 0.2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(r.left() + r.width() * 0.15, r.top() + r.height() * 0.5, r.width() * 0.7,
                      r.height() * 0.42));
}

void drawGear(QPainter &p, QPointF centre, qreal radius, const QColor &color)
{
    constexpr int Teeth = 8;
    QPainterPath gear;
    for (int i = 0; i < Teeth * 4; ++i) {
        const qreal angle = (i - 0.5) * M_PI / (Teeth * 2);
        const qreal r = (i % 4 < 2) ? radius : radius * 0.75;
        const QPointF point = centre + QPointF(std::cos(angle), std::sin(angle)) * r;
        if (i == 0)
            gear.moveTo(point);
        else
            gear.lineTo(point);
    }
    gear.closeSubpath();
    gear.addEllipse(centre, radius * 0.32, radius * 0.32);
    gear.setFillRule(Qt::OddEvenFill);
    p.setPen(outlinePen(1.5));
    p.setBrush(color);
    p.drawPath(gear);
}

void drawRoundBadge(QPainter &p, const QColor &color)
{
    QRadialGradient shade(QPointF(18, 16), 30);
    shade.setColorAt(0, color.lighter(150));
    shade.setColorAt(1, color);
    p.setPen(QPen(color.darker(170), 2));
    p.setBrush(shade);
    p.drawEllipse(QRectF(4, 4, 40, 40));
}

void paintExit(QPainter &p)
{
    // A door standing open with an arrow leading out.
    p.setPen(outlinePen());
    p.setBrush(QColor(120, 120, 120));
    p.drawRect(QRectF(6, 5, 22, 38));
    QPainterPath door;
    door.moveTo(6, 5);
    door.lineTo(20, 10);
    door.lineTo(20, 47);
    door.lineTo(6, 43);
    door.closeSubpath();
    p.setBrush(QColor(165, 110, 55));
    p.drawPath(door);
    p.setBrush(QColor(240, 210, 90));
    p.drawEllipse(QPointF(16.5, 28), 1.8, 1.8);
    drawArrow(p, QPointF(22, 24), QPointF(45, 24), QColor(210, 40, 40), 7);
}

void paintOpenProject(QPainter &p)
{
    // A folder whose front flap opens.
    p.setPen(outlinePen());
    p.setBrush(QColor(215, 165, 40));
    QPainterPath back;
    back.moveTo(3, 40);
    back.lineTo(3, 9);
    back.lineTo(16, 9);
    back.lineTo(20, 13);
    back.lineTo(40, 13);
    back.lineTo(40, 40);
    back.closeSubpath();
    p.drawPath(back);
    drawSheet(p, QRectF(10, 7, 24, 22));
    QLinearGradient front(0, 20, 0, 42);
    front.setColorAt(0, QColor(255, 220, 100));
    front.setColorAt(1, QColor(235, 180, 50));
    p.setBrush(front);
    QPainterPath flap;
    flap.moveTo(3, 40);
    flap.lineTo(11, 21);
    flap.lineTo(46, 21);
    flap.lineTo(40, 40);
    flap.closeSubpath();
    p.setPen(outlinePen());
    p.drawPath(flap);
}

void paintSaveProject(QPainter &p)
{
    drawFloppy(p, QRectF(5, 5, 38, 38), QColor(45, 95, 185));
    // A small folder tab on the label marks the project.
    p.setPen(outlinePen(1.2));
    p.setBrush(QColor(215, 165, 40));
    p.drawRect(QRectF(16, 28, 16, 10));
}

void paintSaveData(QPainter &p)
{
    // A sheet of columns with a curve, and an arrow into it.
    drawSheet(p, QRectF(7, 3, 28, 38));
    p.setPen(QPen(QColor(150, 150, 150), 1.5));
    for (int row = 0; row < 5; ++row) {
        const qreal y = 14 + row * 5;
        p.drawLine(QPointF(11, y), QPointF(18, y));
        p.drawLine(QPointF(21, y), QPointF(30, y));
    }
    QPainterPath curve;
    for (int x = 0; x <= 20; ++x) {
        const QPointF point(11 + x, 34 - 4 * std::sin(x * 0.5));
        if (x == 0)
            curve.moveTo(point);
        else
            curve.lineTo(point);
    }
    p.setPen(QPen(QColor(40, 140, 40), 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(curve);
    drawArrow(p, QPointF(40, 22), QPointF(40, 46), QColor(45, 95, 185), 7);
}

void paintLoadSettings(QPainter &p)
{
    drawGear(p, QPointF(20, 26), 17, QColor(150, 160, 175));
    // Settings come in from a file: an arrow pointing into the gear.
    drawArrow(p, QPointF(46, 6), QPointF(26, 22), QColor(40, 150, 60), 6);
}

void paintSaveSettings(QPainter &p)
{
    drawGear(p, QPointF(19, 19), 16, QColor(150, 160, 175));
    drawFloppy(p, QRectF(25, 25, 20, 20), QColor(45, 95, 185));
}

void paintStart(QPainter &p)
{
    drawRoundBadge(p, QColor(30, 160, 50));
    QPainterPath triangle;
    triangle.moveTo(19, 14);
    triangle.lineTo(35, 24);
    triangle.lineTo(19, 34);
    triangle.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(triangle);
}

void paintStop(QPainter &p)
{
    drawRoundBadge(p, QColor(205, 35, 35));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(16, 16, 16, 16), 2, 2);
}

void paintAbout(QPainter &p)
{
    drawRoundBadge(p, QColor(45, 105, 200));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(24, 14.5), 3.2, 3.2);
    p.drawRoundedRect(QRectF(21, 20, 6, 17), 1.5, 1.5);
    p.drawRect(QRectF(18, 34, 12, 3));
    p.drawRect(QRectF(18, 20, 5, 3));
}

// The logo: a sampled wave on a blue tile, the shape of what the program does.
void paintLogo(QPainter &p)
{
    const QRectF tile(4, 4, 120, 120);
    QLinearGradient back(tile.topLeft(), tile.bottomRight());
    back.setColorAt(0, QColor(70, 150, 225));
    back.setColorAt(1, QColor(20, 60, 140));
    p.setPen(QPen(QColor(15, 40, 95), 3));
    p.setBrush(back);
    p.drawRoundedRect(tile, 22, 22);

    p.setPen(QPen(QColor(255, 255, 255, 90), 2));
    for (int i = 1; i < 4; ++i)
        p.drawLine(QPointF(16, 4 + i * 30), QPointF(112, 4 + i * 30));

    QPainterPath wave;
    for (int x = 0; x <= 96; ++x) {
        const QPointF point(16 + x, 64 - 34 * std::sin(x * 2 * M_PI / 64));
        if (x == 0)
            wave.moveTo(point);
        else
            wave.lineTo(point);
    }
    p.setPen(QPen(QColor(255, 235, 120), 6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
    p.setPen(QPen(QColor(15, 40, 95), 2));
    p.setBrush(Qt::white);
    for (int x = 0; x <= 96; x += 12)
        p.drawEllipse(QPointF(16 + x, 64 - 34 * std::sin(x * 2 * M_PI / 64)), 5, 5);
}

bool save(const QDir &dir, const QString &name, int size,
          const std::function<void(QPainter &)> &paint)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        paint(painter);
    }
    const QString path = dir.filePath(name);
    if (!image.save(path, "PNG")) {
        QTextStream(stderr) << "quoravi-icons: cannot write " << path << "\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        QTextStream(stderr) << "usage: quoravi-icons <folder>\n";
        return 2;
    }
    QDir dir(arguments.at(1));
    if (!dir.mkpath(QStringLiteral(".")))
        return 1;

    const struct
    {
        const char *name;
        void (*paint)(QPainter &);
    } icons[] = {
        { "exit.png", paintExit },
        { "openProj.png", paintOpenProject },
        { "saveProject.png", paintSaveProject },
        { "saveData.png", paintSaveData },
        { "loadSettings.png", paintLoadSettings },
        { "saveSettings.png", paintSaveSettings },
        { "start.png", paintStart },
        { "stop.png", paintStop },
        { "about.png", paintAbout },
    };
    bool ok = true;
    for (const auto &icon : icons)
        ok = save(dir, QString::fromLatin1(icon.name), IconSize, icon.paint) && ok;
    ok = save(dir, QStringLiteral("appLogo.png"), LogoSize, paintLogo) && ok;
    return ok ? 0 : 1;
}
