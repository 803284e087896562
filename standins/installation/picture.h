// A small true-colour picture drawn in code, and its bitmap file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace installation {

struct Colour {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
};

// Pixels addressed from the top-left corner; shapes are clipped to the
// picture. Coordinates are those of pixel centres.
class Picture {
  public:
    Picture(int width, int height, Colour background);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    Colour At(int x, int y) const;

    void Box(int left, int top, int right, int bottom, Colour colour);  // inclusive corners
    void Disc(double centreX, double centreY, double radius, Colour colour);
    void Ring(double centreX, double centreY, double outer, double inner, Colour colour);
    void Line(double x0, double y0, double x1, double y1, double thickness, Colour colour);

    // The picture as a Windows bitmap file: file header, information header,
    // 24-bit rows bottom-up, each padded to four bytes.
    std::string BitmapFile() const;

  private:
    void Set(int x, int y, Colour colour);

    int m_width;
    int m_height;
    std::vector<Colour> m_pixels;
};

}  // namespace installation
