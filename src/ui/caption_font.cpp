// Chooses one font for the run controls by measuring each caption as the style draws it.
#include "ui/caption_font.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>

bool captionFits(const QWidget* control, const QFont& font) {
    const QFontMetrics metrics(font);
    if (const auto* button = qobject_cast<const QPushButton*>(control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        option.fontMetrics = metrics;
        const QSize text = metrics.size(Qt::TextShowMnemonic, button->text());
        const QSize needed =
            button->style()->sizeFromContents(QStyle::CT_PushButton, &option, text, button);
        return needed.width() <= button->width() && needed.height() <= button->height();
    }
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        const int margins = 2 * (label->margin() + label->frameWidth());
        return metrics.horizontalAdvance(label->text()) + margins <= label->width() &&
               metrics.height() + margins <= label->height();
    }
    return true;
}

QFont fittingCaptionFont(const QFont& base, const std::vector<QWidget*>& controls) {
    // Below this the text stops being legible at all; the smallest size is the answer then.
    constexpr int smallest_pixels = 7;
    const int start = std::max(QFontInfo(base).pixelSize(), smallest_pixels);
    QFont font = base;
    for (int pixels = start; pixels >= smallest_pixels; --pixels) {
        for (const int stretch : {int(QFont::Unstretched), int(QFont::SemiCondensed)}) {
            font.setPixelSize(pixels);
            font.setStretch(stretch);
            const bool fits = std::all_of(controls.begin(), controls.end(),
                                          [&](const QWidget* c) { return captionFits(c, font); });
            if (fits) return font;
        }
    }
    return font;
}
