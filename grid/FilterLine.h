#pragma once
// The filter line: one text box per column, lying over the strip under the
// grid's column headings. It is a child of the grid's window, not of the
// grid or its header (whose children assistive technologies do not reach).
// What is typed is applied about 300 ms after the last keystroke; Esc in a
// box clears it.
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <vector>

class QHeaderView;
class QLineEdit;

class FilterLine : public QWidget {
public:
    FilterLine(QWidget* window, QHeaderView* header);

    // One box per caption, emptied.
    void setColumns(const QStringList& captions);
    // The boxes' texts, by column (blank boxes left out).
    std::map<int, QString> filters() const;
    void setFilters(const std::map<int, QString>& filters); // (not applied again)
    // Puts the boxes over the header's strip of that height.
    void place(int stripHeight);
    QLineEdit* box(int column) const;
    // Runs when the filters have settled (or a box was cleared with Esc).
    std::function<void()> onChanged;
    static const QString kSyntax; // the tooltip

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QHeaderView> header_;
    std::vector<QLineEdit*> boxes_;
    QTimer settle_;
    int strip_ = 0;
};
