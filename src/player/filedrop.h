#pragma once

#include <QObject>
#include <QPoint>
#include <QStringList>

class QDropEvent;

namespace quorvela {

class Form1;

// Files dropped on the player window, opened as the command line opens them. Over the folder
// list or the playlist a drop may hold MP3 files, playlists and folders; anywhere else on the
// window only folders. A drop holding nothing the window opens there is refused, and the
// cursor says so. Made by the player window, which owns it.
class FileDrop : public QObject {
    Q_OBJECT
public:
    explicit FileDrop(Form1* form);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Whether the drag now over the window may be dropped at point (the window's
    // coordinates), and if so with which action.
    [[nodiscard]] bool accepts(QDropEvent* event) const;
    [[nodiscard]] bool isOverLists(QPoint point) const;

    Form1* m_form;
    // What the drag that is over the window holds, looked at once as it enters.
    QStringList m_items;
    bool m_opensFiles = false;
    bool m_allFolders = false;
};

} // namespace quorvela
