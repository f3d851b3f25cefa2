#include "widgets/filelistbox.h"

#include "common/localpath.h"
#include "widgets/naturalorder.h"
#include "widgets/wildcard.h"

#include <QDir>
#include <QStringListModel>

#include <algorithm>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvela {

namespace {

// Holds the names exactly; the view, its search by typing and screen readers get them readable.
class FileNameModel final : public QStringListModel {
public:
    using QStringListModel::QStringListModel;

    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override {
        QVariant value = QStringListModel::data(index, role);
        if (role == Qt::DisplayRole && hasForeignBytes(value.toString()))
            return readablePath(value.toString());
        return value;
    }
};

// A regular file, or a symbolic link to one, as QDir::Files lists them.
bool isRegularFile(DIR* folder, const dirent& entry) {
    if (entry.d_type == DT_REG)
        return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN)
        return false;
    struct stat status {};
    return ::fstatat(::dirfd(folder), entry.d_name, &status, 0) == 0 && S_ISREG(status.st_mode);
}

bool isFolder(const QString& path) {
    struct stat status {};
    return ::stat(localPathBytes(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

} // namespace

FileListBox::FileListBox(QWidget* parent) : QListView(parent), m_model(new FileNameModel(this)) {
    setModel(m_model);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

QString FileListBox::normalizedPath(const QString& folder) {
    if (folder.isEmpty())
        return folder;
    // By hand: QDir's absolutePath() passes the name through the system's encoding, which
    // would turn bytes that are not UTF-8 into U+FFFD.
    if (QDir::isAbsolutePath(folder))
        return QDir::cleanPath(folder);
    return QDir::cleanPath(QDir::currentPath() + QLatin1Char('/') + folder);
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
    // Read by the bytes of the names: QDir would hand back a name that is not UTF-8 with
    // U+FFFD in it, which names no file, and the file would be lost from the list.
    DIR* folder = m_path.isEmpty() ? nullptr : ::opendir(localPathBytes(m_path).constData());
    struct Found {
        QString shown; // what the list shows, matched and ordered by
        QString name;  // byte for byte
    };
    std::vector<Found> found;
    if (folder) {
        const QStringList patterns = m_pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        while (const dirent* entry = ::readdir(folder)) {
            // Hidden files (and "." and "..") are left out, as QDir leaves them out.
            if (entry->d_name[0] == '.')
                continue;
            QString name = localPathFromBytes(entry->d_name);
            QString shown = hasForeignBytes(name) ? readablePath(name) : name;
            if (std::none_of(patterns.begin(), patterns.end(), [&](const QString& pattern) {
                    return matchesWildcard(pattern, shown);
                }))
                continue;
            if (isRegularFile(folder, *entry))
                found.push_back({std::move(shown), std::move(name)});
        }
        ::closedir(folder);
        // Names that read the same (one in UTF-8, one in Latin-1) keep a fixed order.
        std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
            const int order = naturalCompare(a.shown, b.shown);
            return order != 0 ? order < 0 : a.name < b.name;
        });
    }
    QStringList names;
    names.reserve(static_cast<qsizetype>(found.size()));
    for (Found& entry : found)
        names.append(std::move(entry.name));
    m_model->setStringList(names);
    return folder != nullptr;
}

QString FileListBox::fileName() const {
    const QModelIndex current = selectionModel()->currentIndex();
    if (!current.isValid() || !selectionModel()->isSelected(current))
        return {};
    return current.data(Qt::EditRole).toString();
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
    return isFolder(m_path);
}

bool DirListBox::canOpen(const QString& folder) {
    return isFolder(folder) && ::access(localPathBytes(folder).constData(), R_OK | X_OK) == 0;
}

} // namespace quorvela
