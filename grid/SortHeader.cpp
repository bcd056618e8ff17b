#include "SortHeader.h"

#include <QMouseEvent>

SortHeader::SortHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(true);
    setSortIndicatorShown(false); // the model's decoration shows the keys, with their rank
}

void SortHeader::setStripHeight(int height)
{
    strip_ = height;
    updateGeometry();
}

QSize SortHeader::sizeHint() const
{
    QSize size = QHeaderView::sizeHint();
    size.rheight() += strip_;
    return size;
}

void SortHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    QHeaderView::paintSection(painter, rect.adjusted(0, 0, 0, -strip_), logicalIndex);
}

void SortHeader::mouseReleaseEvent(QMouseEvent* event)
{
    modifiers_ = event->modifiers(); // (sectionClicked is emitted from here)
    QHeaderView::mouseReleaseEvent(event);
}
