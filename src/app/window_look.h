#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <QStringList>
#include <optional>
#include <span>

class QWidget;

namespace corvat {

// The window was laid out in twips at 96 dots per inch; everything below is converted here and only here.
constexpr int kTwipsPerPixel = 15;

// Nearest pixel: a few positions (6280, 4660) are not whole pixels.
constexpr int TwipsToPixels(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

QRect TwipsRect(int left, int top, int width, int height);

// A line drawn `thickness` pixels wide, centred on the segment between two points in twips.
QRect TwipsLine(int x1, int y1, int x2, int y2, int thickness);

// The faces the window was designed with, each mapped to families that exist on a Linux desktop.
enum class Face { Song, Hei, ArialBlack, System };

struct FontLook {
    Face face = Face::Song;
    double points = 9.0;
    int weight = 400;  // CSS-style weight: 400 regular, 700 bold, 900 black
};

constexpr int kRegular = 400;
constexpr int kBold = 700;
constexpr int kBlack = 900;

QStringList FaceFamilies(Face face);
QFont MakeFont(const FontLook& look);

// The desktop colours the window refers to by role; the platform's palette supplies what it knows.
enum class SystemColour {
    Highlight,
    Window,
    WindowText,
    ButtonFace,
    ButtonText,
    MenuText,
    ActiveCaption,
    WindowFrame
};

// A colour of the design: unset (the control's default), a system colour, or a fixed RGB triple.
struct Paint {
    enum class Kind { Unset, System, Rgb };
    Kind kind = Kind::Unset;
    SystemColour system = SystemColour::WindowText;
    QRgb rgb = 0;
};

constexpr Paint kDefaultPaint{};
constexpr Paint Sys(SystemColour colour) {
    return Paint{Paint::Kind::System, colour, 0};
}
constexpr Paint Rgb(int r, int g, int b) {
    return Paint{Paint::Kind::Rgb, SystemColour::WindowText,
                 0xff000000u | (QRgb(r) << 16) | (QRgb(g) << 8) | QRgb(b)};
}

QColor ResolveSystemColour(SystemColour colour);
QColor Resolve(const Paint& paint);

// Text and background colour of a control; a set background makes the control paint it opaquely.
void ApplyColours(QWidget* widget, const Paint& text, const Paint& background);

// One row of the window's design: where a control stands, in what font and colours.
struct ControlLook {
    const char* name = "";
    int left = 0, top = 0, width = 0, height = 0;  // twips
    std::optional<FontLook> font;                  // the window's font when unset
    Paint text;
    Paint background;
    // Non-zero for a line: it runs from (left, top) to (left + width, top + height), this many pixels thick.
    int lineThickness = 0;
};

// Every design row, in the window's order.
std::span<const ControlLook> DesignedControls();

// The design row of the control with this object name, or nullptr.
const ControlLook* FindLook(const QString& name);

// The window's own font: every control without a font of its own shows this one.
FontLook WindowFontLook();

// Gives the widget the geometry, font and colours of its design row, found by its object name.
void ApplyLook(QWidget* widget);

}  // namespace corvat
