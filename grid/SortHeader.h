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

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    int strip_ = 0;
};
