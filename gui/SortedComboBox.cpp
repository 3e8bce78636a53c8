#include "gui/SortedComboBox.h"

#include <QLineEdit>

#include <algorithm>

namespace tk {

SortedComboBox::SortedComboBox(const QString& prompt, QWidget* parent)
    : QComboBox(parent)
{
    setEditable(true);
    // Qt gives an editable combo box an inline completer, which would rewrite
    // a partly typed year into the first item that starts with it. Without
    // one, QComboBox also matches typed text against the items only exactly,
    // letter case included, so it never alters what was typed.
    setCompleter(nullptr);
    setInsertPolicy(QComboBox::NoInsert);
    setEditText(prompt);
}

bool SortedComboBox::sortsBefore(const QString& left, const QString& right)
{
    const int ignoringCase = QString::compare(left, right, Qt::CaseInsensitive);
    if (ignoringCase != 0)
        return ignoringCase < 0;
    return QString::compare(left, right, Qt::CaseSensitive) < 0;
}

void SortedComboBox::addSortedItems(const QStringList& texts)
{
    QStringList items;
    items.reserve(count() + texts.size());
    for (int i = 0; i < count(); ++i)
        items << itemText(i);
    items += texts;
    // One model reset instead of an insertion, and its signals, per item.
    std::stable_sort(items.begin(), items.end(), &SortedComboBox::sortsBefore);
    const int picked = currentIndex();
    const QString shownText = currentText();
    clear();
    addItems(items);
    // QComboBox picks the first item added to an empty list; when the operator
    // had picked nothing, the field must go on showing what it showed.
    if (picked < 0) {
        setCurrentIndex(-1);
        setEditText(shownText);
    } else {
        setCurrentIndex(findText(shownText, Qt::MatchExactly | Qt::MatchCaseSensitive));
    }
}

} // namespace tk
