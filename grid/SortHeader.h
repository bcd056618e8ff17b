#pragma once
// The grid's column headings: a click sorts (see DataGrid), and below the
// captions a strip is kept free for the filter line, which lies over it.
#include <QHeaderView>

class SortHeader : public QHeaderView {
public:
    explicit SortHeader(QWidget* parent);
    // The height of the strip under the captions (0: none).
    void setStripHeight(int height);
    int stripHeight() const { return strip_; }
    QSize sizeHint() const override;
    // The keys held down at the last click (Ctrl adds a sort key).
    Qt::KeyboardModifiers clickModifiers() const { return modifiers_; }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int strip_ = 0;
    Qt::KeyboardModifiers modifiers_;
};
