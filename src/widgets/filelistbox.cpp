#include "widgets/filelistbox.h"

#include "widgets/naturalorder.h"
#include "widgets/wildcard.h"

#include <QDir>
#include <QFileInfo>
#include <QStringListModel>

#include <algorithm>

namespace quorvela {

FileListBox::FileListBox(QWidget* parent) : QListView(parent), m_model(new QStringListModel(this)) {
    setModel(m_model);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

QString FileListBox::normalizedPath(const QString& folder) {
    if (folder.isEmpty())
        return folder;
    return QDir::cleanPath(QDir(folder).absolutePath());
}

bool FileListBox::setPath(const QString& folder) {
    m_path = normalizedPath(folder);
    return refresh();
}

void FileListBox::setPattern(const QString& pattern) {
    m_pattern = pattern;
    refresh();
}

bool FileListBox::refresh() {
    QStringList names;
    const QDir dir(m_path);
    const bool listable = !m_path.isEmpty() && dir.exists() && QFileInfo(m_path).isReadable();
    if (listable) {
        const QStringList patterns = m_pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        const QStringList all = dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted);
        for (const QString& name : all) {
            if (std::any_of(patterns.begin(), patterns.end(),
                            [&](const QString& pattern) { return matchesWildcard(pattern, name); }))
                names.append(name);
        }
        std::sort(names.begin(), names.end(), naturalLess);
    }
    m_model->setStringList(names);
    return listable;
}

QString FileListBox::fileName() const {
    const QModelIndex current = selectionModel()->currentIndex();
    if (!current.isValid() || !selectionModel()->isSelected(current))
        return {};
    return current.data().toString();
}

QStringList FileListBox::entries() const {
    return m_model->stringList();
}

int FileListBox::count() const {
    return m_model->rowCount();
}

DirListBox::DirListBox(QWidget* parent) : QWidget(parent) {
    hide();
}

bool DirListBox::setPath(const QString& folder) {
    m_path = FileListBox::normalizedPath(folder);
    return QFileInfo(m_path).isDir();
}

} // namespace quorvela
