#include "qt_label_maker.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <cstring>

LabelImage QtLabelMaker::make(const std::string& text, const unsigned char (&colour)[3]) const {
    LabelImage label;
    const QString words = QString::fromStdString(text);
    if (words.isEmpty())
        return label;
    QFont font;
    font.setPixelSize(11);
    const QFontMetrics metrics(font);
    QImage image(metrics.horizontalAdvance(words) + 2, metrics.height(), QImage::Format_RGBA8888);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(QColor(colour[0], colour[1], colour[2]));
    painter.drawText(1, metrics.ascent(), words);
    painter.end();
    // Unpremultiplied, rows from the bottom up, as GL draws them.
    const QImage rows = image.mirrored(false, true).convertToFormat(QImage::Format_RGBA8888);
    label.width = rows.width();
    label.height = rows.height();
    label.rgba.resize(static_cast<std::size_t>(label.width) * label.height * 4);
    for (int y = 0; y < label.height; ++y)
        std::memcpy(label.rgba.data() + static_cast<std::size_t>(y) * label.width * 4,
                    rows.constScanLine(y), static_cast<std::size_t>(label.width) * 4);
    return label;
}

const QtLabelMaker& qt_label_maker() {
    static const QtLabelMaker maker;
    return maker;
}
