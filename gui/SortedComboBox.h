#pragma once

#include <QComboBox>

namespace tk {

// An editable drop-down whose list stays in alphabetical order, whatever order
// the items arrive in, and whose text field shows exactly what was typed or
// picked: no completion, nothing inserted, and a prompt that stays until the
// operator replaces it.
class SortedComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit SortedComboBox(const QString& prompt, QWidget* parent = nullptr);

    // Puts each of `texts` in its sorted place, after the items equal to it,
    // without touching what the field shows.
    void addSortedItems(const QStringList& texts);

    // The order of a classic sorted list box: letter case decides only
    // between texts that are otherwise equal.
    static bool sortsBefore(const QString& left, const QString& right);
};

} // namespace tk
