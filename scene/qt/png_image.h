#pragma once

#include <QImage>

#include <string>
#include <vector>

// Pictures of the main view as PNG files, the same bytes from both programs: RGB (the view's
// alpha dropped), encoded in memory first and then written whole or not at all, never over a
// protected file (the grid).

// An image of width x height RGBA pixels, rows from the top (as HeadlessView reads them).
QImage rgba_image(const std::vector<unsigned char>& rgba, int width, int height);

// Encodes and writes, never over one of `keep` (the grid and the curves file); false with the
// reason in `error` ("cannot write 'PATH'").
bool write_png(const QImage& image, const std::string& path, const std::vector<std::string>& keep,
               std::string& error);
