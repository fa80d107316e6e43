#include "widgets/checklist.h"

#include "widgets/checklistmodel.h"

CheckList::CheckList(QWidget* parent)
    : QListView(parent)
    , m_model(new CheckListModel(this)) {
    setModel(m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every entry is one line of the same font: the view need not measure fifty thousand of them.
    setUniformItemSizes(true);
    setFocusPolicy(Qt::StrongFocus);
}

int CheckList::count() const {
    return m_model->rowCount();
}

void CheckList::addEntries(const QStringList& texts) {
    m_model->append(texts);
}

QString CheckList::text(int row) const {
    return m_model->text(row);
}

void CheckList::setText(int row, const QString& text) {
    m_model->setText(row, text);
}

bool CheckList::isTicked(int row) const {
    return m_model->isTicked(row);
}

void CheckList::setTicked(int row, bool ticked) {
    m_model->setTicked(row, ticked);
}

QStringList CheckList::texts() const {
    return m_model->texts();
}

void CheckList::removeEntry(int row) {
    const bool wasHighlighted = row == highlighted();
    m_model->remove(row);
    // The view would move the highlight on to the next entry; a second Remove would then take
    // an entry the user never chose.
    if (wasHighlighted)
        setHighlighted(-1);
}

void CheckList::keepRows(const QList<qsizetype>& rows) {
    m_model->keepRows(rows);
}

int CheckList::highlighted() const {
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !selectionModel()->isSelected(current))
        return -1;
    return current.row();
}

void CheckList::setHighlighted(int row) {
    if (row < 0 || row >= count()) {
        selectionModel()->clear();
        return;
    }
    const QModelIndex entry = m_model->index(row);
    selectionModel()->setCurrentIndex(entry, QItemSelectionModel::ClearAndSelect);
    scrollTo(entry);
}
