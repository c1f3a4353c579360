// The event log's list box: lines of one height, so that every position is arithmetic and
// only the lines in view are ever measured or painted (the horizontal scroll bar grows to
// the widest line shown so far).
#include "ui/event_log.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {
constexpr int text_margin = 3;  // pixels left of each line's text
}

EventLog::EventLog(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setBackgroundRole(QPalette::Base);
    viewport()->setBackgroundRole(QPalette::Base);
    updateScrollBars();
}

void EventLog::append(const QString& line) {
    lines_.push_back(line);
    updateScrollBars();
    setCurrentRow(count() - 1);
}

void EventLog::setCurrentRow(int row) {
    current_ = std::clamp(row, -1, count() - 1);
    scrollIntoView(current_);
    viewport()->update();
}

int EventLog::lineHeight() const { return fontMetrics().height() + 2; }

int EventLog::firstVisibleRow() const { return verticalScrollBar()->value(); }

int EventLog::visibleRows() const { return std::max(1, viewport()->height() / lineHeight()); }

int EventLog::rowAt(int y) const {
    const int row = firstVisibleRow() + y / lineHeight();
    return y >= 0 && row < count() ? row : -1;
}

void EventLog::updateScrollBars() {
    const int shown = visibleRows();
    verticalScrollBar()->setRange(0, std::max(0, count() - shown));
    verticalScrollBar()->setPageStep(shown);
    horizontalScrollBar()->setRange(0, std::max(0, widest_ + 2 * text_margin - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void EventLog::scrollIntoView(int row) {
    if (row < 0) return;
    const int first = firstVisibleRow();
    if (row < first) {
        verticalScrollBar()->setValue(row);
    } else if (row >= first + visibleRows()) {
        verticalScrollBar()->setValue(row - visibleRows() + 1);
    }
}

void EventLog::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const int height = lineHeight();
    const int left = text_margin - horizontalScrollBar()->value();
    const int first = firstVisibleRow();
    const int last = std::min(count() - 1, first + visibleRows());  // one more, partly shown
    const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
    int widest = widest_;
    for (int row = first; row <= last; ++row) {
        widest = std::max(widest, fontMetrics().horizontalAdvance(line(row)));
        const QRect band(0, (row - first) * height, viewport()->width(), height);
        if (row == current_) {
            painter.fillRect(band, palette().brush(group, QPalette::Highlight));
            painter.setPen(palette().color(group, QPalette::HighlightedText));
        } else {
            painter.setPen(palette().color(group, QPalette::Text));
        }
        painter.drawText(band.adjusted(left, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         line(row));
    }
    if (widest > widest_) {  // the horizontal scroll bar covers every line shown so far
        widest_ = widest;
        updateScrollBars();
    }
}

void EventLog::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    scrollIntoView(current_);
}

void EventLog::mousePressEvent(QMouseEvent* event) {
    const int row = rowAt(event->position().toPoint().y());
    if (row >= 0) setCurrentRow(row);
}

void EventLog::keyPressEvent(QKeyEvent* event) {
    const int page = visibleRows();
    switch (event->key()) {
    case Qt::Key_Up: setCurrentRow(std::max(0, current_ - 1)); break;
    case Qt::Key_Down: setCurrentRow(current_ + 1); break;
    case Qt::Key_PageUp: setCurrentRow(std::max(0, current_ - page)); break;
    case Qt::Key_PageDown: setCurrentRow(current_ + page); break;
    case Qt::Key_Home: setCurrentRow(0); break;
    case Qt::Key_End: setCurrentRow(count() - 1); break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
}

// A new font changes every line's height and width.
void EventLog::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() != QEvent::FontChange) return;
    widest_ = 0;
    updateScrollBars();
    viewport()->update();
}
