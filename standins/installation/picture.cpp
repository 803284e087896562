#include "picture.h"

#include <wingdi.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace installation {

Picture::Picture(int width, int height, Colour background)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width * height), background) {}

Colour Picture::At(int x, int y) const {
    return pixels_[static_cast<size_t>(y * width_ + x)];
}

void Picture::Set(int x, int y, Colour colour) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_)
        pixels_[static_cast<size_t>(y * width_ + x)] = colour;
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
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            double distance = std::hypot(x - centreX, y - centreY);
            if (distance <= outer && distance > inner)
                Set(x, y, colour);
        }
    }
}

void Picture::Line(double x0, double y0, double x1, double y1, double thickness, Colour colour) {
    const double dx = x1 - x0, dy = y1 - y0;
    const double length2 = dx * dx + dy * dy;
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            // Distance from the pixel to the nearest point of the segment.
            double along = length2 > 0 ? ((x - x0) * dx + (y - y0) * dy) / length2 : 0;
            along = std::clamp(along, 0.0, 1.0);
            if (std::hypot(x - (x0 + along * dx), y - (y0 + along * dy)) <= thickness / 2)
                Set(x, y, colour);
        }
    }
}

std::string Picture::BitmapFile() const {
    const size_t stride = (static_cast<size_t>(width_) * 3 + 3) / 4 * 4;
    const size_t headers = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    const size_t imageSize = stride * static_cast<size_t>(height_);

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfSize = static_cast<DWORD>(headers + imageSize);
    file.bfOffBits = static_cast<DWORD>(headers);
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width_;
    info.biHeight = height_;  // positive: the last row comes first
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(imageSize);

    std::string bytes(headers + imageSize, '\0');
    std::memcpy(bytes.data(), &file, sizeof file);
    std::memcpy(bytes.data() + sizeof file, &info, sizeof info);
    for (int y = 0; y < height_; ++y) {
        char* row = bytes.data() + headers + stride * static_cast<size_t>(height_ - 1 - y);
        for (int x = 0; x < width_; ++x) {
            const Colour pixel = At(x, y);
            row[3 * x] = static_cast<char>(pixel.blue);
            row[3 * x + 1] = static_cast<char>(pixel.green);
            row[3 * x + 2] = static_cast<char>(pixel.red);
        }
    }
    return bytes;
}

}  // namespace installation
