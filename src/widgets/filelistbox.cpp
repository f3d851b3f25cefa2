// The folder list (File1), the matching and natural order of its names, and Dir1's folder.
#include "widgets/filelistbox.h"

#include "common/localpath.h"

#include <QDir>
#include <QStringListModel>

#include <algorithm>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvela {

namespace {

bool isAsciiDigit(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

qsizetype digitRunEnd(const QString& s, qsizetype from) {
    while (from < s.size() && isAsciiDigit(s.at(from)))
        ++from;
    return from;
}

// Compares two runs of digits by value without converting them, so runs of any length work.
int compareNumbers(QStringView a, QStringView b) {
    while (a.size() > 1 && a.front() == u'0')
        a = a.mid(1);
    while (b.size() > 1 && b.front() == u'0')
        b = b.mid(1);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

bool sameLetter(QChar a, QChar b) {
    return a == b || a.toCaseFolded() == b.toCaseFolded();
}

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

int naturalCompare(const QString& a, const QString& b) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (isAsciiDigit(a.at(i)) && isAsciiDigit(b.at(j))) {
            const qsizetype endA = digitRunEnd(a, i);
            const qsizetype endB = digitRunEnd(b, j);
            if (const int c = compareNumbers(QStringView(a).sliced(i, endA - i),
                                             QStringView(b).sliced(j, endB - j));
                c != 0)
                return c;
            i = endA;
            j = endB;
            continue;
        }
        const QChar ca = a.at(i).toCaseFolded();
        const QChar cb = b.at(j).toCaseFolded();
        if (ca != cb)
            return ca.unicode() < cb.unicode() ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    // Names that differ only in case or leading zeros still get a fixed order.
    return a.compare(b);
}

bool matchesWildcard(QStringView pattern, QStringView name) {
    qsizetype p = 0;
    qsizetype n = 0;
    // Where the last '*' was seen, and the first name character it has not yet swallowed:
    // on a mismatch that star takes one more character and matching resumes after it.
    qsizetype star = -1;
    qsizetype resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || sameLetter(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (star >= 0) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

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
