#pragma once

#include <array>

// The windows' pictures, all drawn as SVG and compiled into the program's resources, so they
// stay crisp at any scale. This header names them only and needs no Qt: a QIcon or QPixmap is
// made from the path where it is used.

// The main window's image list: one 16 × 16 picture with a transparent background per image
// number. Actions, menus, the tool bar and the tray icon take their picture by number, so each
// number always means the same picture.
enum class TImage : int {
    New = 0,        // a blank sheet of paper
    Open = 1,       // an open yellow folder
    Close = 2,      // a closed yellow folder
    Save = 3,       // a floppy disk
    Exit = 4,       // a door with an arrow
    Help = 5,       // a purple book with a question mark
    About = 6,      // a speech bubble with a question mark
    Web = 7,        // a house
    Info = 8,       // a hand holding a card with lines
    Translate = 9,  // a blue triangle pointing right
    Setup = 10,     // a hammer crossed with a wrench
    OpenWin = 11,   // an open book
    Add = 12,       // a yellow plus sign beside lines of text
    Sub = 13,       // a yellow minus sign beside lines of text
    Edit = 14,      // a sheet with lines of text and a green mark at the top
    Program = 15,   // the closed dark-red book with a ribbon: the tray icon
};

inline constexpr int kImageCount = 16;

// Resource path of each image number, in number order: ":/icons/NN.svg".
inline constexpr std::array<const char*, kImageCount> kImagePaths = {
    ":/icons/00.svg", ":/icons/01.svg", ":/icons/02.svg", ":/icons/03.svg",
    ":/icons/04.svg", ":/icons/05.svg", ":/icons/06.svg", ":/icons/07.svg",
    ":/icons/08.svg", ":/icons/09.svg", ":/icons/10.svg", ":/icons/11.svg",
    ":/icons/12.svg", ":/icons/13.svg", ":/icons/14.svg", ":/icons/15.svg",
};

// The resource path of `image`'s picture, for example ":/icons/03.svg" for Save.
constexpr const char* imagePath(TImage image) {
    return kImagePaths[static_cast<int>(image)];
}

// The resource path of the picture with image number `index`, or nullptr when the list holds no
// such number (a negative number means "no picture").
constexpr const char* imagePath(int index) {
    return index >= 0 && index < kImageCount ? kImagePaths[index] : nullptr;
}

// The program's own icon in full detail (48 × 48 design, scalable): the main window's icon and
// the desktop entry's. The same book as TImage::Program, which is drawn for 16 pixels.
inline constexpr const char* kProgramIconPath = ":/icons/termovel.svg";

// The splash window's picture, 300 × 225: the book on the left, a light plate under the title
// at 125, 100 and a light strip under the notice line at y 205.
inline constexpr const char* kSplashPicturePath = ":/pictures/splash.svg";

// The tip window's picture, 40 × 53: a lit bulb over the book.
inline constexpr const char* kTipPicturePath = ":/pictures/tip.svg";

// The about window's picture, 360 × 270: the book in a left column, the text column from x 95
// light, with rules under the title and above the bottom line at y 250.
inline constexpr const char* kAboutPicturePath = ":/pictures/about.svg";

// The settings dialog's scan button picture, 16 × 16: a magnifier over a folder.
inline constexpr const char* kScanPicturePath = ":/pictures/scan.svg";
