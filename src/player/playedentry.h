#pragma once

#include <QAbstractItemModel>
#include <QObject>
#include <QPointer>
#include <QString>

namespace quorvela {

// The entry the track was last started from, in the list it was started from (the folder
// list or the playlist): what the desktop's Next and Previous move from. It follows the
// list's changes. When the entry itself is removed the place stays where it was, so that Next
// plays the entry that followed it and Previous the one before. A list read anew (a reset of
// its model) keeps the place only where the same entry is still in the same row, as it is
// after entries were appended.
class PlayedEntry : public QObject {
    Q_OBJECT
public:
    explicit PlayedEntry(QObject* parent = nullptr);

    // The entry at row of list was started.
    void set(QAbstractItemModel* list, int row);
    // Nothing in any list is the place any more.
    void clear();

    [[nodiscard]] QAbstractItemModel* list() const { return m_list; }
    // The rows Next and Previous play; -1 where there is none.
    [[nodiscard]] int nextRow() const;
    [[nodiscard]] int previousRow() const;

signals:
    // The place or its list changed: nextRow() and previousRow() may answer otherwise.
    void changed();

private:
    void rowsInserted(int first, int last);
    void rowsRemoved(int first, int last);
    void listReset();

    QPointer<QAbstractItemModel> m_list;
    int m_row = -1;
    // The entry of m_row was removed; m_row is now the row of the one that followed it.
    bool m_removed = false;
    QString m_text;
};

} // namespace quorvela
