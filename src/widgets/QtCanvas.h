#pragma once

#include <QFont>
#include <QImage>
#include <QRawFont>
#include <array>
#include <map>
#include <string>
#include <string_view>

#include "shell/DrawList.h"

class QPainter;

// Renders a DrawList with QPainter on any paint device (widget, QImage, printer).
// Texts are placed GDI style: (x, y) is the top-left of the text cell, the baseline is
// y + ascent, and an opaque background fills exactly the text's cells. Texts are 8-bit
// (Latin-1) and are drawn as glyph runs without shaping, like a plain TextOut.
class QtCanvas {
  public:
    QtCanvas();

    void Render(QPainter& painter, const DrawList& list);

    // The images DrawImage names.
    void SetImage(const std::string& name, const QImage& image) { images_[name] = image; }

    // The Qt font of a font id: the family at its pixel height.
    static QFont FontOf(FontId id);
    // Width of a text in the font, as the background of a drawn text measures it.
    double TextWidth(FontId id, std::string_view text);
    double Ascent(FontId id) { return Metrics(id).ascent; }
    double CellHeight(FontId id) { return Metrics(id).ascent + Metrics(id).descent; }

  private:
    static constexpr size_t kFontCount = static_cast<size_t>(FontId::kMemory) + 1;
    struct FontMetrics {
        bool ready = false;
        QRawFont raw;
        double ascent = 0, descent = 0;
        std::array<quint32, 256> glyph{};
        std::array<double, 256> advance{};
    };
    FontMetrics& Metrics(FontId id);
    void RenderText(QPainter& painter, const DrawText& t);
    void RenderCells(QPainter& painter, const DrawCells& c);

    std::array<FontMetrics, kFontCount> fonts_;
    std::map<std::string, QImage> images_;
    QImage cellImage_;  // reused between paints
    QList<quint32> glyphs_;
    QList<QPointF> positions_;
};
