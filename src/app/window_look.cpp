#include "app/window_look.h"

#include <QGuiApplication>
#include <QPalette>
#include <QWidget>
#include <algorithm>
#include <array>

namespace corvat {

QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}

QRect TwipsLine(int x1, int y1, int x2, int y2, int thickness) {
    const QPoint from(TwipsToPixels(std::min(x1, x2)), TwipsToPixels(std::min(y1, y2)));
    const QPoint to(TwipsToPixels(std::max(x1, x2)), TwipsToPixels(std::max(y1, y2)));
    const int half = thickness / 2;
    if (from.y() == to.y()) return QRect(from.x(), from.y() - half, to.x() - from.x(), thickness);
    return QRect(from.x() - half, from.y(), thickness, to.y() - from.y());
}

namespace {

struct FaceRow {
    Face face;
    const char* families;  // first found wins
};

// The design's Windows faces first, so a desktop that has them shows the original look.
constexpr std::array kFaces{
    FaceRow{Face::Song, "SimSun,AR PL UMing CN,Noto Serif CJK SC,WenQuanYi Micro Hei"},
    FaceRow{Face::Hei, "SimHei,WenQuanYi Micro Hei,Noto Sans CJK SC"},
    FaceRow{Face::ArialBlack, "Arial Black,DejaVu Sans"},
};

struct SystemColourRow {
    SystemColour colour;
    bool fromPalette;
    QPalette::ColorRole role;
    QRgb fallback;  // the Windows default, used where Qt has no such role
};

// Windows' COLOR_WINDOW is the background of edit fields, which Qt calls Base; the button face is Button.
constexpr std::array kSystemColours{
    SystemColourRow{SystemColour::Highlight, true, QPalette::Highlight, 0xff0078d7},
    SystemColourRow{SystemColour::Window, true, QPalette::Base, 0xffffffff},
    SystemColourRow{SystemColour::WindowText, true, QPalette::Text, 0xff000000},
    SystemColourRow{SystemColour::ButtonFace, true, QPalette::Button, 0xfff0f0f0},
    SystemColourRow{SystemColour::ButtonText, true, QPalette::ButtonText, 0xff000000},
    SystemColourRow{SystemColour::MenuText, false, QPalette::NoRole, 0xff000000},
    SystemColourRow{SystemColour::ActiveCaption, false, QPalette::NoRole, 0xff99b4d1},
    SystemColourRow{SystemColour::WindowFrame, false, QPalette::NoRole, 0xff646464},
};

constexpr Paint kMenuText = Sys(SystemColour::MenuText);
constexpr Paint kBlue = Rgb(0, 0, 255);
constexpr Paint kMaroon = Rgb(128, 0, 0);
constexpr FontLook kSong9{Face::Song, 9.0, kRegular};
constexpr FontLook kSong9Bold{Face::Song, 9.0, kBold};
constexpr FontLook kSong105Bold{Face::Song, 10.5, kBold};

// The window as designed, from the top down; geometry in twips.
const std::array kControls{
    ControlLook{"Label5", 120, 0, 7335, 255, kSong9Bold, Rgb(255, 255, 255), kMenuText},
    ControlLook{"txtFile", 120, 360, 5895, 270, kSong9, {}, {}},
    ControlLook{"cmdFlashFile", 6240, 360, 1095, 375, kSong9, {}, {}},
    ControlLook{"Combo1", 240, 840, 975, 300, kSong9, {}, {}},
    ControlLook{
        "Check1", 1800, 840, 615, 255, FontLook{Face::Song, 7.5, kBold}, Sys(SystemColour::Highlight), {}},
    ControlLook{"cmdstar", 2880, 840, 1095, 375, kSong9, {}, {}},
    ControlLook{"cmdExit", 4560, 840, 1095, 375, kSong9, {}, {}},
    ControlLook{"cmdWrite", 6240, 840, 1095, 375, kSong9, {}, {}},
    ControlLook{"Text1", 240, 1320, 7095, 270, kSong9, Sys(SystemColour::ActiveCaption), Rgb(192, 192, 255)},
    ControlLook{"Label14", 240, 1680, 5295, 735, {}, {}, kMenuText},
    ControlLook{"lblChip", 360, 1800, 5055, 255, kSong105Bold, kBlue, kMenuText},
    ControlLook{"lblMsg", 360, 2160, 5055, 255, kSong105Bold, Rgb(255, 0, 0), kMenuText},
    ControlLook{"VScroll1", 5490, 1680, 255, 735, {}, {}, {}},
    ControlLook{"Picture1", 6280, 1920, 780, 780, {}, {}, {}},
    ControlLook{"Text3", 240, 2400, 5535, 4335, FontLook{Face::Song, 10.5, kRegular},
                Sys(SystemColour::Window), Sys(SystemColour::WindowFrame)},
    ControlLook{"Text2", 5880, 2880, 1455, 375, FontLook{Face::System, 9.75, kBold}, {}, {}},
    ControlLook{"Label6", 6120, 3120, 1095, 255, kSong105Bold, kBlue, {}},
    ControlLook{"Label7", 6120, 3480, 1335, 255, kSong9, kBlue, {}},
    ControlLook{"Label8", 6120, 3720, 1335, 255, kSong9, kBlue, {}},
    ControlLook{"Label9", 6120, 3960, 1335, 255, kSong9, kBlue, {}},
    ControlLook{"Label10", 6120, 4200, 1335, 255, kSong9, kBlue, {}},
    ControlLook{"Label11", 6120, 4440, 1335, 255, kSong9, kBlue, {}},
    ControlLook{"Label12", 6120, 4680, 1335, 255, kSong9, kBlue, {}},
    ControlLook{"Label13", 6120, 4920, 1335, 255, kSong9, kBlue, {}},
    ControlLook{"Command1", 6000, 5520, 1335, 150, {}, {}, {}},
    ControlLook{"Label2", 5880, 5880, 1935, 495, FontLook{Face::Hei, 18.0, kBold}, Rgb(0, 0, 128), {}},
    ControlLook{"Label1", 720, 6960, 2415, 375, FontLook{Face::ArialBlack, 14.25, kBlack}, kBlue, {}},
    ControlLook{"Label3", 4440, 6960, 2415, 255, kSong9, kMaroon, {}},
    ControlLook{"Line1", 4440, 7200, 6840 - 4440, 0, {}, {}, Sys(SystemColour::Highlight), 5},
    ControlLook{"Label4", 4660, 7260, 2175, 375, kSong9, kMaroon, {}},
};

}  // namespace

QStringList FaceFamilies(Face face) {
    for (const FaceRow& row : kFaces) {
        if (row.face == face) return QString::fromUtf8(row.families).split(u',');
    }
    return {};
}

QFont MakeFont(const FontLook& look) {
    QFont font;
    if (look.face == Face::System) {
        font = QGuiApplication::font();
    } else {
        const QStringList families = FaceFamilies(look.face);
        font.setFamily(families.front());
        font.setFamilies(families);
    }
    font.setPointSizeF(look.points);
    font.setWeight(QFont::Weight(look.weight));
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

FontLook WindowFontLook() {
    return FontLook{Face::Song, 7.5, kRegular};
}

QColor ResolveSystemColour(SystemColour colour) {
    for (const SystemColourRow& row : kSystemColours) {
        if (row.colour != colour) continue;
        if (row.fromPalette) return QGuiApplication::palette().color(QPalette::Active, row.role);
        return QColor::fromRgb(row.fallback);
    }
    return QColor();
}

QColor Resolve(const Paint& paint) {
    switch (paint.kind) {
        case Paint::Kind::System:
            return ResolveSystemColour(paint.system);
        case Paint::Kind::Rgb:
            return QColor::fromRgb(paint.rgb);
        case Paint::Kind::Unset:
            break;
    }
    return QColor();
}

void ApplyColours(QWidget* widget, const Paint& text, const Paint& background) {
    QPalette palette = widget->palette();
    // Each kind of widget draws from its own roles; setting all of them keeps the table independent of kind.
    if (text.kind != Paint::Kind::Unset) {
        const QColor colour = Resolve(text);
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
            palette.setColor(role, colour);
        }
    }
    if (background.kind != Paint::Kind::Unset) {
        const QColor colour = Resolve(background);
        for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button}) {
            palette.setColor(role, colour);
        }
        widget->setAutoFillBackground(true);
    }
    widget->setPalette(palette);
}

std::span<const ControlLook> DesignedControls() {
    return kControls;
}

const ControlLook* FindLook(const QString& name) {
    for (const ControlLook& row : kControls) {
        if (name == QLatin1String(row.name)) return &row;
    }
    return nullptr;
}

void ApplyLook(QWidget* widget) {
    const ControlLook* look = FindLook(widget->objectName());
    if (look == nullptr) return;
    if (look->lineThickness > 0) {
        widget->setGeometry(TwipsLine(look->left, look->top, look->left + look->width,
                                      look->top + look->height, look->lineThickness));
    } else {
        widget->setGeometry(TwipsRect(look->left, look->top, look->width, look->height));
    }
    if (look->font) widget->setFont(MakeFont(*look->font));
    ApplyColours(widget, look->text, look->background);
}

}  // namespace corvat
