#include "FilterLine.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>

const QString FilterLine::kSyntax = QStringLiteral(
    "Shows the rows whose cells match every box:\n"
    "  text\tthe cell contains the text (a to z in either case)\n"
    "  =v  <>v  <v  <=v  >v  >=v\tcompared with v (numbers as numbers)\n"
    "  a..b\tfrom a to b, both included\n"
    "  =\tempty text\n"
    "  NULL, NOT NULL\tno value, any value\n"
    "Esc clears a box.");

FilterLine::FilterLine(QWidget* window, QHeaderView* header) : QWidget(window), header_(header)
{
    setObjectName(QStringLiteral("FilterLine"));
    setAccessibleName(QStringLiteral("Filter"));
    setToolTip(kSyntax);
    settle_.setSingleShot(true);
    settle_.setInterval(300);
    connect(&settle_, &QTimer::timeout, this, [this] {
        if (onChanged)
            onChanged();
    });
}

void FilterLine::setColumns(const QStringList& captions)
{
    for (QLineEdit* box : boxes_)
        delete box;
    boxes_.clear();
    for (const QString& caption : captions) {
        auto* box = new QLineEdit(this);
        box->setAccessibleName(QStringLiteral("Filter ") + caption);
        box->setToolTip(kSyntax);
        box->setClearButtonEnabled(false);
        box->installEventFilter(this);
        connect(box, &QLineEdit::textEdited, this, [this] { settle_.start(); });
        box->show();
        boxes_.push_back(box);
    }
    // Tab goes from box to box in column order.
    for (size_t i = 1; i < boxes_.size(); ++i)
        setTabOrder(boxes_[i - 1], boxes_[i]);
    place(strip_);
}

std::map<int, QString> FilterLine::filters() const
{
    std::map<int, QString> texts;
    for (size_t c = 0; c < boxes_.size(); ++c)
        if (!boxes_[c]->text().trimmed().isEmpty())
            texts[int(c)] = boxes_[c]->text();
    return texts;
}

void FilterLine::setFilters(const std::map<int, QString>& filters)
{
    settle_.stop();
    for (size_t c = 0; c < boxes_.size(); ++c) {
        const auto text = filters.find(int(c));
        boxes_[c]->setText(text != filters.end() ? text->second : QString());
    }
}

QLineEdit* FilterLine::box(int column) const
{
    return column >= 0 && column < int(boxes_.size()) ? boxes_[size_t(column)] : nullptr;
}

void FilterLine::place(int stripHeight)
{
    strip_ = stripHeight;
    if (!header_ || !parentWidget())
        return;
    const QWidget* grid = header_->parentWidget();
    const bool shown = grid && grid->isVisible() && header_->isVisible() && stripHeight > 0;
    setVisible(shown);
    if (!shown)
        return;
    // Over the strip, within the header's own width (the boxes scroll with the columns).
    const QPoint topLeft = header_->mapTo(parentWidget(), QPoint(0, header_->height() - stripHeight));
    setGeometry(QRect(topLeft, QSize(header_->viewport()->width(), stripHeight)));
    for (size_t c = 0; c < boxes_.size(); ++c) {
        const int column = int(c);
        boxes_[c]->setVisible(!header_->isSectionHidden(column));
        boxes_[c]->setGeometry(header_->sectionViewportPosition(column), 0, header_->sectionSize(column), stripHeight);
    }
    raise();
}

bool FilterLine::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        auto* box = qobject_cast<QLineEdit*>(watched);
        if (box && !box->text().isEmpty()) {
            box->clear();
            settle_.stop();
            if (onChanged)
                onChanged();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
