#include "ui/qt/qt_render_target.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainterPath>

#include "ui/paint_manager.h"

namespace vextar::ui {

QColor ToQColor(UiColor c) {
    return QColor(ColorR(c), ColorG(c), ColorB(c), ColorA(c));
}

QRect ToQRect(const UiRect& rc) {
    return QRect(rc.left, rc.top, rc.Width(), rc.Height());
}

UiRect FromQRect(const QRect& rc) {
    return {rc.left(), rc.top(), rc.left() + rc.width(), rc.top() + rc.height()};
}

const QImage& QtImageCache::Get(const std::string& file, std::optional<UiColor> mask) {
    std::string key = file;
    if (mask) {
        key += '#';
        key += std::to_string(*mask);
    }
    auto it = images_.find(key);
    if (it != images_.end()) {
        return it->second;
    }
    QImage image(QString::fromStdString(manager_.ResolveResource(file)));
    if (!image.isNull()) {
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (mask) {
            QImage masked = image.convertToFormat(QImage::Format_ARGB32);
            const QRgb transparent = 0xFF000000U | (*mask & 0x00FFFFFFU);
            for (int y = 0; y < masked.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(masked.scanLine(y));
                for (int x = 0; x < masked.width(); ++x) {
                    if ((line[x] | 0xFF000000U) == transparent) {
                        line[x] = 0;
                    }
                }
            }
            image = masked.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        }
    }
    return images_.emplace(key, std::move(image)).first->second;
}

std::optional<UiSize> QtImageCache::Size(const std::string& file) {
    const QImage& image = Get(file);
    if (image.isNull()) {
        return std::nullopt;
    }
    return UiSize{image.width(), image.height()};
}

QtRenderTarget::QtRenderTarget(QPainter& painter, QtImageCache& images)
    : painter_(painter), images_(images) {}

void QtRenderTarget::FillRect(const UiRect& rc, UiColor color) {
    painter_.fillRect(ToQRect(rc), ToQColor(color));
}

void QtRenderTarget::DrawRect(const UiRect& rc, int width, UiColor color) {
    width = std::max(width, 1);
    painter_.save();
    painter_.setPen(QPen(ToQColor(color), width));
    painter_.setBrush(Qt::NoBrush);
    const qreal half = width / 2.0;
    painter_.drawRect(
        QRectF(rc.left + half, rc.top + half, rc.Width() - width, rc.Height() - width));
    painter_.restore();
}

void QtRenderTarget::FillEllipse(const UiRect& rc, UiColor color) {
    painter_.save();
    painter_.setRenderHint(QPainter::Antialiasing);
    painter_.setPen(Qt::NoPen);
    painter_.setBrush(ToQColor(color));
    painter_.drawEllipse(ToQRect(rc));
    painter_.restore();
}

void QtRenderTarget::FillPie(const UiRect& rc, float startDegrees, float sweepDegrees,
                             UiColor color) {
    painter_.save();
    painter_.setRenderHint(QPainter::Antialiasing);
    painter_.setPen(Qt::NoPen);
    painter_.setBrush(ToQColor(color));
    // Qt counts angles counter-clockwise in sixteenths of a degree.
    painter_.drawPie(ToQRect(rc), static_cast<int>(-startDegrees * 16),
                     static_cast<int>(-sweepDegrees * 16));
    painter_.restore();
}

void QtRenderTarget::DrawLine(UiPoint from, UiPoint to, int width, UiColor color) {
    painter_.save();
    painter_.setRenderHint(QPainter::Antialiasing);
    painter_.setPen(QPen(ToQColor(color), std::max(width, 1)));
    painter_.drawLine(QPoint(from.x, from.y), QPoint(to.x, to.y));
    painter_.restore();
}

void QtRenderTarget::FillGradient(const UiRect& rc, UiColor from, UiColor to, bool vertical) {
    QLinearGradient gradient(rc.left, rc.top, vertical ? rc.left : rc.right,
                             vertical ? rc.bottom : rc.top);
    gradient.setColorAt(0, ToQColor(from));
    gradient.setColorAt(1, ToQColor(to));
    painter_.fillRect(ToQRect(rc), gradient);
}

void QtRenderTarget::DrawText(const UiRect& rc, std::string_view text, UiColor color,
                              const FontInfo& font, unsigned style) {
    QFont f(QString::fromStdString(font.face));
    f.setPixelSize(std::max(font.size, 1));
    f.setBold(font.bold);
    f.setUnderline(font.underline);
    f.setItalic(font.italic);
    int flags = 0;
    flags |= (style & kTextCenter) != 0  ? Qt::AlignHCenter
             : (style & kTextRight) != 0 ? Qt::AlignRight
                                         : Qt::AlignLeft;
    flags |= (style & kTextVCenter) != 0  ? Qt::AlignVCenter
             : (style & kTextBottom) != 0 ? Qt::AlignBottom
                                          : Qt::AlignTop;
    if ((style & kTextWordBreak) != 0) {
        flags |= Qt::TextWordWrap;
    } else if ((style & kTextSingleLine) != 0) {
        flags |= Qt::TextSingleLine;
    }
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if ((style & kTextEndEllipsis) != 0) {
        s = QFontMetrics(f).elidedText(s, Qt::ElideRight, rc.Width());
    }
    painter_.save();
    painter_.setFont(f);
    painter_.setPen(ToQColor(color));
    painter_.drawText(ToQRect(rc), flags, s);
    painter_.restore();
}

bool QtRenderTarget::DrawImage(const UiRect& rc, const ImageDescription& d) {
    const QImage& original = images_.Get(d.file, d.mask);
    if (original.isNull()) {
        return false;
    }
    QImage image = original;
    if (d.tint) {
        // The image's shape in the tint colour.
        QImage tinted(image.size(), QImage::Format_ARGB32_Premultiplied);
        tinted.fill(Qt::transparent);
        QPainter p(&tinted);
        p.drawImage(0, 0, image);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(tinted.rect(), ToQColor(*d.tint));
        p.end();
        image = tinted;
    }
    const QRect source = d.source ? ToQRect(*d.source).intersected(image.rect()) : image.rect();
    const QRect dest = d.dest ? QRect(rc.left + d.dest->left, rc.top + d.dest->top, d.dest->Width(),
                                      d.dest->Height())
                              : ToQRect(rc);
    if (source.isEmpty() || dest.isEmpty()) {
        return true;
    }
    painter_.save();
    painter_.setOpacity(painter_.opacity() * d.fade / 255.0);
    painter_.setRenderHint(QPainter::SmoothPixmapTransform);
    if (d.xTiled || d.yTiled) {
        const QImage part = image.copy(source);
        const QPixmap tile = QPixmap::fromImage(part.scaled(
            d.xTiled ? part.width() : dest.width(), d.yTiled ? part.height() : dest.height()));
        painter_.drawTiledPixmap(dest, tile);
    } else if (d.corner.left == 0 && d.corner.top == 0 && d.corner.right == 0 &&
               d.corner.bottom == 0) {
        painter_.drawImage(dest, image, source);
    } else {
        // Nine slices: corners keep their size, edges stretch one way, the
        // middle both ways (left out for a hole).
        const int l = d.corner.left;
        const int t = d.corner.top;
        const int r = d.corner.right;
        const int b = d.corner.bottom;
        const int xs[4] = {source.left(), source.left() + l, source.right() + 1 - r,
                           source.right() + 1};
        const int ys[4] = {source.top(), source.top() + t, source.bottom() + 1 - b,
                           source.bottom() + 1};
        const int xd[4] = {dest.left(), dest.left() + l, dest.right() + 1 - r, dest.right() + 1};
        const int yd[4] = {dest.top(), dest.top() + t, dest.bottom() + 1 - b, dest.bottom() + 1};
        for (int row = 0; row < 3; ++row) {
            for (int col = 0; col < 3; ++col) {
                if (d.hole && row == 1 && col == 1) {
                    continue;
                }
                const QRect s(xs[col], ys[row], xs[col + 1] - xs[col], ys[row + 1] - ys[row]);
                const QRect o(xd[col], yd[row], xd[col + 1] - xd[col], yd[row + 1] - yd[row]);
                if (s.width() > 0 && s.height() > 0 && o.width() > 0 && o.height() > 0) {
                    painter_.drawImage(o, image, s);
                }
            }
        }
    }
    painter_.restore();
    return true;
}

void QtRenderTarget::PushClip(const UiRect& rc) {
    painter_.save();
    QRect clip = ToQRect(rc);
    if (!clips_.empty()) {
        clip = clip.intersected(clips_.back());
    }
    clips_.push_back(clip);
    painter_.setClipRect(clip);
}

void QtRenderTarget::PopClip() {
    if (!clips_.empty()) {
        clips_.pop_back();
        painter_.restore();
    }
}

}  // namespace vextar::ui
