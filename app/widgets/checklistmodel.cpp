#include "widgets/checklistmodel.h"

#include <algorithm>

namespace {

// An entry is shown on one line, its status after it: a line break or another control
// character in the text shows as its picture, so that nothing after it is pushed out of sight.
QString oneLine(const QString& text) {
    const auto isControl = [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; };
    if (std::none_of(text.cbegin(), text.cend(), isControl))
        return text;
    QString shown = text;
    for (QChar& c : shown) {
        if (isControl(c))
            c = QChar(c.unicode() == 0x7F ? 0x2421 : 0x2400 + c.unicode());
    }
    return shown;
}

} // namespace

int CheckListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant CheckListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !isRow(index.row()))
        return {};
    const Entry& entry = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return entry.status.isEmpty() ? oneLine(entry.text)
                                      : oneLine(entry.text) + QStringLiteral("    [") +
                                            entry.status + QLatin1Char(']');
    case Qt::EditRole:
        return entry.text;
    case Qt::ToolTipRole:
        return entry.statusDetail.isEmpty() ? QVariant() : QVariant(entry.statusDetail);
    case Qt::CheckStateRole:
        return entry.ticked ? Qt::Checked : Qt::Unchecked;
    default:
        return {};
    }
}

bool CheckListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || !isRow(index.row()))
        return false;
    if (role == Qt::CheckStateRole) {
        setTicked(index.row(), value.value<Qt::CheckState>() == Qt::Checked);
        return true;
    }
    if (role == Qt::EditRole) {
        setText(index.row(), value.toString());
        return true;
    }
    return false;
}

Qt::ItemFlags CheckListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Not editable in place: entries change through the window's own commands.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable |
           Qt::ItemNeverHasChildren;
}

void CheckListModel::append(const QStringList& texts) {
    if (texts.isEmpty())
        return;
    const int first = int(m_entries.size());
    beginInsertRows({}, first, first + int(texts.size()) - 1);
    m_entries.reserve(m_entries.size() + texts.size());
    for (const QString& text : texts)
        m_entries.append({text, false, {}, {}});
    endInsertRows();
}

QString CheckListModel::text(int row) const {
    return isRow(row) ? m_entries.at(row).text : QString();
}

void CheckListModel::setText(int row, const QString& text) {
    if (!isRow(row) || m_entries.at(row).text == text)
        return;
    m_entries[row].text = text;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, {Qt::DisplayRole, Qt::EditRole});
}

bool CheckListModel::isTicked(int row) const {
    return isRow(row) && m_entries.at(row).ticked;
}

void CheckListModel::setTicked(int row, bool ticked) {
    if (!isRow(row) || m_entries.at(row).ticked == ticked)
        return;
    m_entries[row].ticked = ticked;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, {Qt::CheckStateRole});
}

QString CheckListModel::status(int row) const {
    return isRow(row) ? m_entries.at(row).status : QString();
}

QString CheckListModel::statusDetail(int row) const {
    return isRow(row) ? m_entries.at(row).statusDetail : QString();
}

void CheckListModel::setStatus(int row, const QString& status, const QString& detail) {
    if (!isRow(row))
        return;
    Entry& entry = m_entries[row];
    if (entry.status == status && entry.statusDetail == detail)
        return;
    entry.status = status;
    entry.statusDetail = detail;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, {Qt::DisplayRole, Qt::ToolTipRole});
}

QStringList CheckListModel::texts() const {
    QStringList all;
    all.reserve(m_entries.size());
    for (const Entry& entry : m_entries)
        all.append(entry.text);
    return all;
}

void CheckListModel::remove(int row) {
    if (!isRow(row))
        return;
    beginRemoveRows({}, row, row);
    m_entries.removeAt(row);
    endRemoveRows();
}

void CheckListModel::keepRows(const QList<qsizetype>& rows) {
    if (rows.size() == m_entries.size())
        return;
    QList<Entry> kept;
    kept.reserve(rows.size());
    for (const qsizetype row : rows)
        kept.append(m_entries.at(row));
    // One reset rather than a removal per repeat: a page may repeat thousands of addresses.
    beginResetModel();
    m_entries = std::move(kept);
    endResetModel();
}
