#include "FindWindow.h"

#include "DataGrid.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

FindWindow::FindWindow(QWidget* window, DataGrid* grid)
    : QDialog(window), Text1(new QLineEdit(this)), Check1(new QCheckBox(QStringLiteral("Match case"), this)),
      Check2(new QCheckBox(QStringLiteral("Whole cell"), this)),
      FindNext(new QPushButton(QStringLiteral("Find Next"), this)),
      FindPrevious(new QPushButton(QStringLiteral("Find Previous"), this)),
      CloseButton(new QPushButton(QStringLiteral("Close"), this)), Text2(new QLineEdit(this)),
      ReplaceButton(new QPushButton(QStringLiteral("Replace"), this)),
      ReplaceAllButton(new QPushButton(QStringLiteral("Replace All"), this)), Status(new QLabel(this)), grid_(grid)
{
    setObjectName(QStringLiteral("frmFind"));
    setWindowTitle(QStringLiteral("Find"));
    setModal(false);
    auto* label = new QLabel(QStringLiteral("Find what:"), this);
    label->setBuddy(Text1);
    Text1->setAccessibleName(QStringLiteral("Find what"));
    Status->setAccessibleName(QStringLiteral("Search status"));
    Status->setTextFormat(Qt::PlainText);
    auto* replaceLabel = new QLabel(QStringLiteral("Replace with:"), this);
    replaceLabel->setBuddy(Text2);
    Text2->setAccessibleName(QStringLiteral("Replace with"));
    auto* fields = new QGridLayout;
    fields->addWidget(label, 0, 0);
    fields->addWidget(Text1, 0, 1);
    fields->addWidget(replaceLabel, 1, 0);
    fields->addWidget(Text2, 1, 1);
    fields->addWidget(Check1, 2, 1);
    fields->addWidget(Check2, 3, 1);
    fields->addWidget(Status, 4, 0, 1, 2);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(FindNext);
    buttons->addWidget(FindPrevious);
    buttons->addWidget(ReplaceButton);
    buttons->addWidget(ReplaceAllButton);
    buttons->addWidget(CloseButton);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(fields, 1);
    layout->addLayout(buttons);
    FindNext->setDefault(true);
    Text1->setMinimumWidth(fontMetrics().averageCharWidth() * 32);
    connect(FindNext, &QPushButton::clicked, this, [this] { search(true); });
    connect(FindPrevious, &QPushButton::clicked, this, [this] { search(false); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::close);
    connect(ReplaceButton, &QPushButton::clicked, this, [this] { replace(false); });
    connect(ReplaceAllButton, &QPushButton::clicked, this, [this] { replace(true); });
    connect(Text1, &QLineEdit::textChanged, this, [this] {
        Status->clear();
        const bool any = !Text1->text().isEmpty();
        FindNext->setEnabled(any);
        FindPrevious->setEnabled(any);
        ReplaceButton->setEnabled(any);
        ReplaceAllButton->setEnabled(any);
    });
    for (QPushButton* button : {FindNext, FindPrevious, ReplaceButton, ReplaceAllButton})
        button->setEnabled(false);
}

FindText FindWindow::text() const { return FindText{Text1->text(), Check1->isChecked(), Check2->isChecked()}; }

void FindWindow::tell(int outcome, bool forward)
{
    if (DataGrid::FindOutcome(outcome) == DataGrid::FindOutcome::Wrapped)
        Status->setText(forward ? QStringLiteral("Continued from the top.") : QStringLiteral("Continued from the bottom."));
}

void FindWindow::replace(bool all)
{
    if (!grid_ || Text1->text().isEmpty())
        return;
    Status->clear();
    if (all)
        grid_->replaceAll(text(), Text2->text());
    else
        tell(int(grid_->replaceCurrent(text(), Text2->text())), true);
}

void FindWindow::search(bool forward)
{
    if (!grid_ || Text1->text().isEmpty())
        return;
    Status->clear();
    tell(int(grid_->find(text(), forward)), forward);
}
