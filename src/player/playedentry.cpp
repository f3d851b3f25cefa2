#include "player/playedentry.h"

#include <QAbstractItemModel>

namespace quorvela {

PlayedEntry::PlayedEntry(QObject* parent) : QObject(parent) {}

void PlayedEntry::set(QAbstractItemModel* list, int row) {
    if (list != m_list) {
        if (m_list)
            disconnect(m_list, nullptr, this, nullptr);
        m_list = list;
        if (list) {
            connect(list, &QAbstractItemModel::rowsInserted, this,
                    [this](const QModelIndex& /*parent*/, int first, int last) {
                        rowsInserted(first, last);
                    });
            connect(list, &QAbstractItemModel::rowsRemoved, this,
                    [this](const QModelIndex& /*parent*/, int first, int last) {
                        rowsRemoved(first, last);
                    });
            connect(list, &QAbstractItemModel::modelReset, this, &PlayedEntry::listReset);
        }
    }
    const QModelIndex entry = list ? list->index(row, 0) : QModelIndex();
    m_row = entry.isValid() ? row : -1;
    m_removed = false;
    m_text = entry.data().toString();
    emit changed();
}

void PlayedEntry::clear() {
    set(nullptr, -1);
}

int PlayedEntry::nextRow() const {
    if (!m_list || m_row < 0)
        return -1;
    const int next = m_removed ? m_row : m_row + 1;
    return next < m_list->rowCount() ? next : -1;
}

int PlayedEntry::previousRow() const {
    if (!m_list || m_row < 1)
        return -1;
    return m_row - 1;
}

void PlayedEntry::rowsInserted(int first, int last) {
    // Entries put where a removed one was come after it.
    if (m_row >= 0 && (first < m_row || (first == m_row && !m_removed)))
        m_row += last - first + 1;
    emit changed();
}

void PlayedEntry::rowsRemoved(int first, int last) {
    if (m_row >= 0 && last < m_row) {
        m_row -= last - first + 1;
    } else if (m_row >= 0 && (first < m_row || (first == m_row && !m_removed))) {
        m_row = first;
        m_removed = true;
    }
    emit changed();
}

void PlayedEntry::listReset() {
    if (m_removed || m_row >= m_list->rowCount() ||
        m_list->index(m_row, 0).data().toString() != m_text)
        clear();
    else
        emit changed();
}

} // namespace quorvela
