#include "png_image.h"

#include "output_file.h"
#include "shown_path.h"

#include <QBuffer>
#include <QByteArray>

#include <cstring>

QImage rgba_image(const std::vector<unsigned char>& rgba, int width, int height) {
    QImage image(width, height, QImage::Format_RGBA8888);
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), rgba.data() + static_cast<std::size_t>(y) * width * 4,
                    static_cast<std::size_t>(width) * 4);
    return image;
}

bool write_png(const QImage& image, const std::string& path, const std::vector<std::string>& keep,
               std::string& error) {
    QByteArray png;
    QBuffer buffer(&png);
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) ||
        !image.convertToFormat(QImage::Format_RGB888).save(&buffer, "PNG")) {
        error = "the picture could not be encoded as PNG";
        return false;
    }
    if (!write_whole_file(path, keep, png.constData(), static_cast<std::size_t>(png.size()))) {
        error = "cannot write '" + shown_path(path) + "'";
        return false;
    }
    return true;
}
