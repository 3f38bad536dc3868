#pragma once

// What controls draw with. The Qt host implements it with QPainter; tests use
// a recorder. Controls describe their look through these calls only.

#include <string>
#include <string_view>
#include <vector>

#include "ui/ui_types.h"

namespace vextar::ui {

// An image description as skins write it: either a bare file name or
// key='value' pairs: file, res, restype, dest, source, corner, mask, fade,
// hole, xtiled, ytiled, hsl.
struct ImageDescription {
    std::string file;              // "file" or "res", or the bare name
    std::string resType;           // "restype"
    std::optional<UiRect> dest;    // relative to the control
    std::optional<UiRect> source;  // part of the image
    UiRect corner{};               // nine-slice borders that do not stretch
    std::optional<UiColor> mask;   // colour drawn transparent
    int fade = 255;                // 0..255 opacity
    bool hole = false;             // nine-slice without the middle
    bool xTiled = false;
    bool yTiled = false;
    bool hsl = false;
    // Set by code, never by skins: colour the image is tinted with.
    std::optional<UiColor> tint;

    [[nodiscard]] bool Empty() const { return file.empty(); }
};

// Parses an image description; an unreadable value gives an empty one.
ImageDescription ParseImageDescription(std::string_view text);

enum TextStyle : unsigned {
    kTextLeft = 0x00,
    kTextCenter = 0x01,
    kTextRight = 0x02,
    kTextTop = 0x00,
    kTextVCenter = 0x04,
    kTextBottom = 0x08,
    kTextSingleLine = 0x20,
    kTextEndEllipsis = 0x8000,
    kTextWordBreak = 0x10,
};

struct FontInfo {
    std::string face = "Noto Sans";
    int size = 12;  // pixels at 96 DPI
    bool bold = false;
    bool underline = false;
    bool italic = false;
};

class IRenderTarget {
  public:
    virtual ~IRenderTarget() = default;
    virtual void FillRect(const UiRect& rc, UiColor color) = 0;
    virtual void DrawRect(const UiRect& rc, int width, UiColor color) = 0;
    virtual void FillEllipse(const UiRect& rc, UiColor color) = 0;
    // A pie of the ellipse in rc from startDegrees over sweepDegrees; angles
    // run clockwise on screen from three o'clock (90 is six o'clock).
    virtual void FillPie(const UiRect& rc, float startDegrees, float sweepDegrees,
                         UiColor color) = 0;
    virtual void DrawLine(UiPoint from, UiPoint to, int width, UiColor color) = 0;
    // A linear gradient from `from` to `to`, top to bottom or left to right.
    virtual void FillGradient(const UiRect& rc, UiColor from, UiColor to, bool vertical) = 0;
    virtual void DrawText(const UiRect& rc, std::string_view text, UiColor color,
                          const FontInfo& font, unsigned style) = 0;
    // Draws an image into rc (the control's rectangle; the description's
    // dest is relative to it). False when the image cannot be loaded.
    virtual bool DrawImage(const UiRect& rc, const ImageDescription& image) = 0;
    virtual void PushClip(const UiRect& rc) = 0;
    virtual void PopClip() = 0;
};

// Records what was drawn, for tests and for counting work in benchmarks.
class RecordingRenderTarget final : public IRenderTarget {
  public:
    struct Call {
        std::string what;  // "rect", "frame", "ellipse", "pie", "line", "gradient", "text", "image"
        UiRect rc{};
        UiColor color = 0;
        float start = 0;
        float sweep = 0;
        std::string text;  // text drawn, or image file
        int fade = 255;
    };

    void FillRect(const UiRect& rc, UiColor color) override;
    void DrawRect(const UiRect& rc, int width, UiColor color) override;
    void FillEllipse(const UiRect& rc, UiColor color) override;
    void FillPie(const UiRect& rc, float start, float sweep, UiColor color) override;
    void DrawLine(UiPoint from, UiPoint to, int width, UiColor color) override;
    void FillGradient(const UiRect& rc, UiColor from, UiColor to, bool vertical) override;
    void DrawText(const UiRect& rc, std::string_view text, UiColor color, const FontInfo& font,
                  unsigned style) override;
    bool DrawImage(const UiRect& rc, const ImageDescription& image) override;
    void PushClip(const UiRect& rc) override;
    void PopClip() override;

    std::vector<Call> calls;
    int clipDepth = 0;
};

}  // namespace vextar::ui
