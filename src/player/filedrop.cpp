#include "player/filedrop.h"

#include "player/form1.h"
#include "player/openitem.h"
#include "widgets/filelistbox.h"

#include <QDropEvent>
#include <QListView>
#include <QMimeData>
#include <QUrl>

namespace quorvela {

namespace {

// Enough to tell a drop of music from one of something else; a drag of thousands of files
// must not stall the pointer while it enters.
constexpr qsizetype ExaminedAtEntry = 100;

} // namespace

FileDrop::FileDrop(Form1* form) : QObject(form), m_form(form) {
    setObjectName(QStringLiteral("FileDrop"));
    form->setAcceptDrops(true);
    form->installEventFilter(this);
}

bool FileDrop::isOverLists(QPoint point) const {
    for (const QWidget* list :
         {static_cast<const QWidget*>(m_form->File1), static_cast<const QWidget*>(m_form->List1)}) {
        if (list->isVisible() && list->rect().contains(list->mapFrom(m_form, point)))
            return true;
    }
    return false;
}

bool FileDrop::accepts(QDropEvent* event) const {
    if (m_items.isEmpty())
        return false;
    if (!(isOverLists(event->position().toPoint()) ? m_opensFiles : m_allFolders))
        return false;
    // Never a move: the file manager would delete the files once they were "moved" here.
    if (event->possibleActions() & Qt::CopyAction)
        event->setDropAction(Qt::CopyAction);
    else if (event->possibleActions() & Qt::LinkAction)
        event->setDropAction(Qt::LinkAction);
    else
        return false;
    return true;
}

bool FileDrop::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_form)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter: {
        auto* enter = static_cast<QDragEnterEvent*>(event);
        m_items.clear();
        m_opensFiles = false;
        m_allFolders = true;
        const QList<QUrl> urls = enter->mimeData()->urls();
        for (const QUrl& url : urls) {
            const QString item = url.toString(QUrl::FullyEncoded);
            m_items.append(item);
            if (m_items.size() > ExaminedAtEntry) {
                m_allFolders = false;
                continue;
            }
            const OpenKind kind = examineOpenItem(item).kind;
            m_opensFiles = m_opensFiles || kind != OpenKind::Unopenable;
            m_allFolders = m_allFolders && kind == OpenKind::Folder;
        }
        // Taken whenever some place on the window takes it; the move that always follows an
        // enter tells whether this place does.
        enter->setAccepted(m_opensFiles);
        return true;
    }
    case QEvent::DragMove: {
        auto* move = static_cast<QDragMoveEvent*>(event);
        move->setAccepted(accepts(move));
        return true;
    }
    case QEvent::DragLeave:
        m_items.clear();
        return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const bool accepted = accepts(drop);
        drop->setAccepted(accepted);
        // Opened once the drop is over: the file manager waits for its end.
        if (accepted)
            m_form->opener().openSoon(m_items);
        m_items.clear();
        return true;
    }
    default:
        return false;
    }
}

} // namespace quorvela
