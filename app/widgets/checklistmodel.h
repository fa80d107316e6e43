#pragma once
// The entries of a list with a check box in front of each: a text and a tick per entry, in
// insertion order. Every entry can be ticked by the user; new entries are not ticked. An entry
// may also show a short status after its text, with a longer explanation on hover; the status
// is never part of the entry's text.

#include <QAbstractListModel>
#include <QList>
#include <QString>
#include <QStringList>

class CheckListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Appends all texts at once, unticked: one insertion, however many there are.
    void append(const QStringList& texts);
    QString text(int row) const;
    void setText(int row, const QString& text);
    bool isTicked(int row) const;
    void setTicked(int row, bool ticked);
    QString status(int row) const;
    QString statusDetail(int row) const;
    void setStatus(int row, const QString& status, const QString& detail = {});
    QStringList texts() const;
    void remove(int row);
    // Keeps only the given rows, in ascending order, with their ticks; the rest go at once.
    void keepRows(const QList<qsizetype>& rows);

private:
    struct Entry {
        QString text;
        bool ticked = false;
        QString status;
        QString statusDetail;
    };
    [[nodiscard]] bool isRow(int row) const { return row >= 0 && row < m_entries.size(); }

    QList<Entry> m_entries;
};
