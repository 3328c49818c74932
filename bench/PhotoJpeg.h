// The photo-like 24-megapixel JPEG the editor benchmarks open: shading,
// hard edges and grain, written as a camera writes it (quality 90).
#pragma once

#include <QImage>
#include <QImageWriter>
#include <QString>

#include <algorithm>
#include <cmath>
#include <random>

inline bool WritePhotoJpeg(const QString& path, int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB888);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> grain(-12, 12);
    for (int y = 0; y < height; ++y) {
        uchar* row = picture.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const int shade = int(110 + 60 * std::sin(x * 0.003) * std::cos(y * 0.004)) + ((x / 250 + y / 180) % 4) * 20;
            const int g = grain(random);
            row[3 * x] = uchar(std::clamp(shade + 25 + g, 0, 255));
            row[3 * x + 1] = uchar(std::clamp(shade + g, 0, 255));
            row[3 * x + 2] = uchar(std::clamp(shade - 30 + g, 0, 255));
        }
    }
    QImageWriter writer(path, "jpeg");
    writer.setQuality(90);
    return writer.write(picture);
}
