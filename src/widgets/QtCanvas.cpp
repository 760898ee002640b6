#include "widgets/QtCanvas.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>

namespace {

QColor ToQColor(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

// The Windows font names the program asks for, on systems that only have their
// metric-compatible Liberation twins.
void AddFontSubstitutes() {
    static const bool once = [] {
        if (QFontInfo(QFont("Courier New")).family() != "Courier New")
            QFont::insertSubstitution("Courier New", "Liberation Mono");
        if (QFontInfo(QFont("Arial")).family() != "Arial")
            QFont::insertSubstitution("Arial", "Liberation Sans");
        return true;
    }();
    (void)once;
}

}  // namespace

QtCanvas::QtCanvas() {
    AddFontSubstitutes();
}

QFont QtCanvas::FontOf(FontId id) {
    AddFontSubstitutes();
    const FontFace face = FontFaceOf(id);
    QFont font(QString::fromLatin1(face.family));
    font.setPixelSize(face.pixelHeight);
    font.setBold(face.bold);
    font.setStyleHint(std::string_view(face.family) == "Arial" ? QFont::SansSerif
                                                               : QFont::TypeWriter);
    return font;
}

QtCanvas::FontMetrics& QtCanvas::Metrics(FontId id) {
    FontMetrics& m = fonts_[static_cast<size_t>(id)];
    if (m.ready) return m;
    const QFont font = FontOf(id);
    const QFontMetricsF metrics(font);
    m.raw = QRawFont::fromFont(font);
    m.ascent = metrics.ascent();
    m.descent = metrics.descent();
    QString all;
    for (int c = 0; c < 256; ++c) all.append(QChar(c));
    const QList<quint32> glyphs = m.raw.glyphIndexesForString(all);
    for (int c = 0; c < 256; ++c) {
        m.glyph[c] = c < glyphs.size() ? glyphs[c] : 0;
        m.advance[c] = metrics.horizontalAdvance(QChar(c));
    }
    m.ready = true;
    return m;
}

double QtCanvas::TextWidth(FontId id, std::string_view text) {
    const FontMetrics& m = Metrics(id);
    double width = 0;
    for (unsigned char c : text) width += m.advance[c];
    return width;
}

void QtCanvas::RenderText(QPainter& painter, const DrawText& t) {
    FontMetrics& m = Metrics(t.font);
    const qsizetype n = static_cast<qsizetype>(t.text.size());
    glyphs_.resize(n);
    positions_.resize(n);
    double x = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(t.text[static_cast<size_t>(i)]);
        glyphs_[i] = m.glyph[c];
        positions_[i] = QPointF(x, 0);
        x += m.advance[c];
    }
    if (t.opaque)
        painter.fillRect(QRectF(t.x, t.y, x, m.ascent + m.descent), ToQColor(t.background));
    if (n == 0) return;
    QGlyphRun run;
    run.setRawFont(m.raw);
    run.setGlyphIndexes(glyphs_);
    run.setPositions(positions_);
    painter.setPen(ToQColor(t.color));
    painter.drawGlyphRun(QPointF(t.x, t.y + m.ascent), run);
}

void QtCanvas::RenderCells(QPainter& painter, const DrawCells& c) {
    const int w = c.cols * c.cellW;
    const int h = c.rows * c.cellH;
    if (w <= 0 || h <= 0) return;
    if (cellImage_.width() < w || cellImage_.height() < h)
        cellImage_ = QImage(std::max(w, cellImage_.width()), std::max(h, cellImage_.height()),
                            QImage::Format_ARGB32_Premultiplied);
    for (int row = 0; row < c.rows; ++row) {
        const uint32_t* colors = c.colors.data() + size_t(row) * size_t(c.cols);
        for (int line = 0; line < c.cellH; ++line) {
            auto* out = reinterpret_cast<uint32_t*>(cellImage_.scanLine(row * c.cellH + line));
            for (int col = 0; col < c.cols; ++col) {
                const uint32_t color = colors[col];
                const uint32_t pixel = color == DrawCells::kNoCell ? 0u : 0xFF000000u | color;
                for (int k = 0; k < c.cellW; ++k) *out++ = pixel;
            }
        }
    }
    painter.drawImage(QPoint(c.x, c.y), cellImage_, QRect(0, 0, w, h));
}

void QtCanvas::Render(QPainter& painter, const DrawList& list) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPen pen;
    pen.setWidth(0);  // cosmetic: one device pixel
    pen.setCapStyle(Qt::SquareCap);
    for (const DrawItem& item : list.order) {
        switch (item.kind) {
            case DrawItem::Kind::kText:
                RenderText(painter, list.texts[item.index]);
                break;
            case DrawItem::Kind::kLine: {
                const DrawLine& l = list.lines[item.index];
                pen.setColor(ToQColor(l.color));
                painter.setPen(pen);
                painter.drawLine(l.x1, l.y1, l.x2, l.y2);
                break;
            }
            case DrawItem::Kind::kRect: {
                const DrawRect& r = list.rects[item.index];
                painter.fillRect(QRect(r.x, r.y, r.w, r.h), ToQColor(r.color));
                break;
            }
            case DrawItem::Kind::kPixel: {
                const DrawPixel& p = list.pixels[item.index];
                painter.fillRect(QRect(p.x, p.y, 1, 1), ToQColor(p.color));
                break;
            }
            case DrawItem::Kind::kImage: {
                const DrawImage& i = list.images[item.index];
                const auto it = images_.find(i.name);
                if (it != images_.end()) painter.drawImage(QRect(i.x, i.y, i.w, i.h), it->second);
                break;
            }
            case DrawItem::Kind::kCells:
                RenderCells(painter, list.cells[item.index]);
                break;
        }
    }
    painter.restore();
}
