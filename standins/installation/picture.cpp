#include "picture.h"

#include <wingdi.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace installation {

Picture::Picture(int width, int height, Colour background)
    : m_width(width), m_height(height), m_pixels(static_cast<size_t>(width * height), background) {}

Colour Picture::At(int x, int y) const {
    return m_pixels[static_cast<size_t>(y * m_width + x)];
}

void Picture::Set(int x, int y, Colour colour) {
    if (x >= 0 && y >= 0 && x < m_width && y < m_height)
        m_pixels[static_cast<size_t>(y * m_width + x)] = colour;
}

void Picture::Box(int left, int top, int right, int bottom, Colour colour) {
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            Set(x, y, colour);
}

void Picture::Disc(double centreX, double centreY, double radius, Colour colour) {
    Ring(centreX, centreY, radius, -1, colour);
}

void Picture::Ring(double centreX, double centreY, double outer, double inner, Colour colour) {
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            double distance = std::hypot(x - centreX, y - centreY);
            if (distance <= outer && distance > inner)
                Set(x, y, colour);
        }
    }
}

void Picture::Line(double x0, double y0, double x1, double y1, double thickness, Colour colour) {
    const double dx = x1 - x0, dy = y1 - y0;
    const double length2 = dx * dx + dy * dy;
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            // Distance from the pixel to the nearest point of the segment.
            double along = length2 > 0 ? ((x - x0) * dx + (y - y0) * dy) / length2 : 0;
            along = std::clamp(along, 0.0, 1.0);
            if (std::hypot(x - (x0 + along * dx), y - (y0 + along * dy)) <= thickness / 2)
                Set(x, y, colour);
        }
    }
}

std::string Picture::BitmapFile() const {
    const size_t stride = (static_cast<size_t>(m_width) * 3 + 3) / 4 * 4;
    const size_t headers = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    const size_t imageSize = stride * static_cast<size_t>(m_height);

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfSize = static_cast<DWORD>(headers + imageSize);
    file.bfOffBits = static_cast<DWORD>(headers);
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = m_width;
    info.biHeight = m_height;  // positive: the last row comes first
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(imageSize);

    std::string bytes(headers + imageSize, '\0');
    std::memcpy(bytes.data(), &file, sizeof file);
    std::memcpy(bytes.data() + sizeof file, &info, sizeof info);
    for (int y = 0; y < m_height; ++y) {
        char* row = bytes.data() + headers + stride * static_cast<size_t>(m_height - 1 - y);
        for (int x = 0; x < m_width; ++x) {
            const Colour pixel = At(x, y);
            row[3 * x] = static_cast<char>(pixel.blue);
            row[3 * x + 1] = static_cast<char>(pixel.green);
            row[3 * x + 2] = static_cast<char>(pixel.red);
        }
    }
    return bytes;
}

}  // namespace installation
