// The event log lstLog: a list box of text lines, appended at the end and never cleared,
// with one selected line. Appending, selecting and scrolling cost the same at a million
// lines as at ten (a list view over a model re-lays all its rows on every append), and
// there is no 16-bit limit on the number of lines.
#pragma once

#include <QAbstractScrollArea>
#include <QString>

#include <vector>

class EventLog : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit EventLog(QWidget* parent = nullptr);

    // Adds the line after the last one, selects it and scrolls it into view.
    void append(const QString& line);

    int count() const { return static_cast<int>(lines_.size()); }
    const QString& line(int row) const { return lines_.at(static_cast<std::size_t>(row)); }

    // The selected line, -1 while the log is empty. Selecting scrolls the line into view.
    int currentRow() const { return current_; }
    void setCurrentRow(int row);

    // The rows shown: from firstVisibleRow(), visibleRows() of them (the last maybe partly).
    int firstVisibleRow() const;
    int visibleRows() const;
    int rowAt(int y) const;  // y in the viewport; -1 below the last line

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int lineHeight() const;
    void updateScrollBars();
    void scrollIntoView(int row);

    std::vector<QString> lines_;
    int current_ = -1;
    int widest_ = 0;  // pixels, of the widest line painted so far
};
