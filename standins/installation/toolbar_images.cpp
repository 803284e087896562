// The toolbar's images, drawn in code: a logo for the logo window and a face
// for each button that has one. Faces are 16 by 16 pixels on the grey of a
// button, as Office's button faces are; the logo fills the 82 by 22 pixel
// logo window.
#include "installation_kit.h"
#include "kit_files.h"
#include "picture.h"

#include <functional>

namespace installation {
namespace {

constexpr int kFaceSize = 16;
constexpr int kLogoWidth = 82;
constexpr int kLogoHeight = 22;

constexpr Colour kButtonGrey{192, 192, 192};
constexpr Colour kBlack{0, 0, 0};
constexpr Colour kWhite{255, 255, 255};
constexpr Colour kDarkGrey{96, 96, 96};
constexpr Colour kRed{204, 0, 0};
constexpr Colour kGreen{0, 153, 0};
constexpr Colour kBlue{0, 70, 170};
constexpr Colour kOrange{230, 130, 0};
constexpr Colour kNavy{16, 32, 96};

void Envelope(Picture& face, Colour paper, Colour ink) {
    face.Box(1, 3, 14, 12, ink);
    face.Box(2, 4, 13, 11, paper);
    face.Line(2, 4, 7.5, 8.5, 1, ink);
    face.Line(13, 4, 7.5, 8.5, 1, ink);
}

void Globe(Picture& face, Colour land, Colour ink) {
    face.Disc(7.5, 7.5, 7, ink);
    face.Disc(7.5, 7.5, 6, land);
    face.Line(1, 7.5, 14, 7.5, 1, ink);  // the equator
    face.Line(7.5, 1, 7.5, 14, 1, ink);  // a meridian
    face.Ring(7.5, 7.5, 6.5, 5.5, ink);
}

void Block(Picture& face) {  // a no-entry sign
    face.Disc(7.5, 7.5, 7, kRed);
    face.Box(3, 6, 12, 9, kWhite);
}

void Unblock(Picture& face) {  // a tick
    face.Line(2, 8, 6, 12, 2.5, kGreen);
    face.Line(6, 12, 13, 3, 2.5, kGreen);
}

void Config(Picture& face) {  // a cog
    face.Box(6, 0, 9, 15, kDarkGrey);
    face.Box(0, 6, 15, 9, kDarkGrey);
    face.Disc(7.5, 7.5, 5.5, kDarkGrey);
    face.Disc(7.5, 7.5, 2, kButtonGrey);
}

void BlacklistEmail(Picture& face) {
    Envelope(face, kDarkGrey, kBlack);
}
void WhitelistEmail(Picture& face) {
    Envelope(face, kWhite, kBlack);
}
void BlacklistDomain(Picture& face) {
    Globe(face, kDarkGrey, kBlack);
}
void WhitelistDomain(Picture& face) {
    Globe(face, kWhite, kBlack);
}

void Recheck(Picture& face) {  // a circular arrow
    face.Ring(7.5, 8.5, 6.5, 4, kBlue);
    face.Box(8, 0, 15, 8, kButtonGrey);   // the gap the arrow turns into
    for (double y = 0; y <= 6; y += 0.5)  // the arrowhead, pointing along the turn
        face.Line(8, y, 12, 3, 1, kBlue);
}

void EmptyFolder(Picture& face) {      // a waste bin
    face.Box(3, 2, 12, 3, kDarkGrey);  // the lid
    face.Box(6, 0, 9, 1, kDarkGrey);
    face.Box(4, 5, 11, 15, kDarkGrey);
    for (int x : {6, 9})
        face.Box(x, 7, x, 13, kWhite);
}

void TellFriend(Picture& face) {  // a person
    face.Disc(7.5, 4, 3, kOrange);
    face.Disc(7.5, 15, 6.5, kOrange);
}

void Logo(Picture& logo) {  // a badge and a stripe on the service's blue
    logo.Box(0, 0, kLogoWidth - 1, kLogoHeight - 1, kNavy);
    logo.Box(1, 1, kLogoWidth - 2, kLogoHeight - 2, kBlue);
    logo.Disc(11, 10.5, 8, kWhite);
    logo.Disc(11, 10.5, 5, kRed);
    logo.Box(24, 8, 76, 13, kWhite);
}

struct ImageFile {
    const wchar_t* name;
    int width;
    int height;
    std::function<void(Picture&)> draw;
};

const ImageFile kImages[] = {
    {L"LogoSmall.bmp", kLogoWidth, kLogoHeight, Logo},
    {L"Block.dib", kFaceSize, kFaceSize, Block},
    {L"Unblock.dib", kFaceSize, kFaceSize, Unblock},
    {L"Config.dib", kFaceSize, kFaceSize, Config},
    {L"BlacklistEmail.dib", kFaceSize, kFaceSize, BlacklistEmail},
    {L"BlacklistDomain.dib", kFaceSize, kFaceSize, BlacklistDomain},
    {L"WhitelistEmail.dib", kFaceSize, kFaceSize, WhitelistEmail},
    {L"WhitelistDomain.dib", kFaceSize, kFaceSize, WhitelistDomain},
    {L"Recheck.dib", kFaceSize, kFaceSize, Recheck},
    {L"EmptyFolder.dib", kFaceSize, kFaceSize, EmptyFolder},
    {L"TellFriend.dib", kFaceSize, kFaceSize, TellFriend},
};

}  // namespace

bool WriteToolbarImages(const std::wstring& installDirectory, std::wstring& error) {
    const std::wstring folder = installDirectory + L"Graphics\\Toolbar\\";
    for (const ImageFile& image : kImages) {
        Picture picture(image.width, image.height, kButtonGrey);
        image.draw(picture);
        if (!WriteWholeFile(folder + image.name, picture.BitmapFile(), error))
            return false;
    }
    return true;
}

}  // namespace installation
