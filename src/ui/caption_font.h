// The font of the run controls: the largest size of the desktop's font (plain, or else
// semi-condensed) at which every caption fits its control as laid out, so that
// "Generate data" and "Interval (secs)" stay fully readable at the window's fixed geometry.
#pragma once

#include <QFont>
#include <QWidget>

#include <vector>

// `controls` are push buttons and labels already at their final size.
QFont fittingCaptionFont(const QFont& base, const std::vector<QWidget*>& controls);

// Whether the control's caption is shown whole in `font` at the control's current size.
bool captionFits(const QWidget* control, const QFont& font);
