#include "ui/render.h"

#include <algorithm>

namespace vextar::ui {

ImageDescription ParseImageDescription(std::string_view text) {
    ImageDescription d;
    if (text.find('=') == std::string_view::npos) {
        d.file = std::string(text);
        return d;
    }
    // key='value' pairs separated by blanks.
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && text[pos] == ' ') {
            ++pos;
        }
        const std::size_t eq = text.find('=', pos);
        if (eq == std::string_view::npos || eq + 1 >= text.size() || text[eq + 1] != '\'') {
            break;
        }
        const std::size_t close = text.find('\'', eq + 2);
        if (close == std::string_view::npos) {
            break;
        }
        const std::string_view key = text.substr(pos, eq - pos);
        const std::string_view value = text.substr(eq + 2, close - eq - 2);
        pos = close + 1;
        if (key == "file" || key == "res") {
            d.file = std::string(value);
        } else if (key == "restype") {
            d.resType = std::string(value);
        } else if (key == "dest") {
            d.dest = ParseRect(value);
        } else if (key == "source") {
            d.source = ParseRect(value);
        } else if (key == "corner") {
            d.corner = ParseRect(value).value_or(UiRect{});
        } else if (key == "mask") {
            d.mask = ParseColor(value);
        } else if (key == "fade") {
            d.fade = std::clamp(ParseInt(value).value_or(255), 0, 255);
        } else if (key == "hole") {
            d.hole = ParseBool(value).value_or(false);
        } else if (key == "xtiled") {
            d.xTiled = ParseBool(value).value_or(false);
        } else if (key == "ytiled") {
            d.yTiled = ParseBool(value).value_or(false);
        } else if (key == "hsl") {
            d.hsl = ParseBool(value).value_or(false);
        }
    }
    return d;
}

void RecordingRenderTarget::FillRect(const UiRect& rc, UiColor color) {
    calls.push_back({"rect", rc, color, 0, 0, {}, 255});
}
void RecordingRenderTarget::DrawRect(const UiRect& rc, int, UiColor color) {
    calls.push_back({"frame", rc, color, 0, 0, {}, 255});
}
void RecordingRenderTarget::FillEllipse(const UiRect& rc, UiColor color) {
    calls.push_back({"ellipse", rc, color, 0, 0, {}, 255});
}
void RecordingRenderTarget::FillPie(const UiRect& rc, float start, float sweep, UiColor color) {
    calls.push_back({"pie", rc, color, start, sweep, {}, 255});
}
void RecordingRenderTarget::DrawLine(UiPoint from, UiPoint to, int, UiColor color) {
    calls.push_back({"line", {from.x, from.y, to.x, to.y}, color, 0, 0, {}, 255});
}
void RecordingRenderTarget::FillGradient(const UiRect& rc, UiColor from, UiColor to, bool) {
    calls.push_back({"gradient", rc, from, 0, 0, {}, static_cast<int>(ColorA(to))});
}
void RecordingRenderTarget::DrawText(const UiRect& rc, std::string_view text, UiColor color,
                                     const FontInfo&, unsigned) {
    calls.push_back({"text", rc, color, 0, 0, std::string(text), 255});
}
bool RecordingRenderTarget::DrawImage(const UiRect& rc, const ImageDescription& image) {
    calls.push_back({"image", rc, 0, 0, 0, image.file, image.fade});
    return true;
}
void RecordingRenderTarget::PushClip(const UiRect&) {
    ++clipDepth;
}
void RecordingRenderTarget::PopClip() {
    --clipDepth;
}

}  // namespace vextar::ui
