#include "app/SortedComboBox.h"

#include <QLineEdit>

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

int SortedComboBox::sortedPosition(const QString& text) const
{
    int position = 0;
    while (position < count() && !sortsBefore(text, itemText(position)))
        ++position;
    return position;
}

void SortedComboBox::addSortedItem(const QString& text)
{
    const bool nothingPicked = currentIndex() < 0;
    const QString shownText = currentText();
    insertItem(sortedPosition(text), text);
    // QComboBox picks the first item added to an empty list; the operator has
    // picked nothing, so the field must go on showing what it showed.
    if (nothingPicked && currentIndex() >= 0) {
        setCurrentIndex(-1);
        setEditText(shownText);
    }
}

void SortedComboBox::addSortedItems(const QStringList& texts)
{
    for (const QString& text : texts)
        addSortedItem(text);
}

} // namespace tk
