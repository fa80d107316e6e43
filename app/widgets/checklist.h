#pragma once
// A list box with a check box in front of every entry. One entry at a time can be highlighted
// (-1 when none is); Space ticks or unticks the highlighted entry, as a click on its box does.
// Entries are changed through the calls below, never edited in place.

#include <QListView>
#include <QStringList>

class CheckListModel;

class CheckList : public QListView {
    Q_OBJECT
public:
    explicit CheckList(QWidget* parent = nullptr);

    int count() const;
    void addEntries(const QStringList& texts);
    QString text(int row) const;
    void setText(int row, const QString& text);
    bool isTicked(int row) const;
    void setTicked(int row, bool ticked);
    QStringList texts() const;
    void removeEntry(int row);
    void keepRows(const QList<qsizetype>& rows);

    int highlighted() const;
    void setHighlighted(int row);

    CheckListModel* entries() const { return m_model; }

private:
    CheckListModel* m_model;
};
