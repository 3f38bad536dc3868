#pragma once

// Draws the control tree with QPainter, and loads the skin's images.

#include <QImage>
#include <QPainter>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/render.h"

namespace vextar::ui {

class CPaintManagerUI;

// Images of one window by file (resolved through the manager's resource
// path), with the mask colour made transparent when asked for.
class QtImageCache {
  public:
    explicit QtImageCache(const CPaintManagerUI& manager) : manager_(manager) {}
    // Null image when the file cannot be read.
    const QImage& Get(const std::string& file, std::optional<UiColor> mask = std::nullopt);
    std::optional<UiSize> Size(const std::string& file);

  private:
    const CPaintManagerUI& manager_;
    std::map<std::string, QImage> images_;
};

class QtRenderTarget final : public IRenderTarget {
  public:
    QtRenderTarget(QPainter& painter, QtImageCache& images);

    void FillRect(const UiRect& rc, UiColor color) override;
    void DrawRect(const UiRect& rc, int width, UiColor color) override;
    void FillEllipse(const UiRect& rc, UiColor color) override;
    void FillPie(const UiRect& rc, float startDegrees, float sweepDegrees, UiColor color) override;
    void DrawLine(UiPoint from, UiPoint to, int width, UiColor color) override;
    void FillGradient(const UiRect& rc, UiColor from, UiColor to, bool vertical) override;
    void DrawText(const UiRect& rc, std::string_view text, UiColor color, const FontInfo& font,
                  unsigned style) override;
    bool DrawImage(const UiRect& rc, const ImageDescription& image) override;
    void PushClip(const UiRect& rc) override;
    void PopClip() override;

  private:
    QPainter& painter_;
    QtImageCache& images_;
    std::vector<QRect> clips_;
};

QColor ToQColor(UiColor color);
QRect ToQRect(const UiRect& rc);
UiRect FromQRect(const QRect& rc);

}  // namespace vextar::ui
