// The folder list (File1), the matching and natural order of its names, and Dir1's folder.
#pragma once

#include <QListView>
#include <QStringList>

class QStringListModel;

namespace quorvela {

// Orders names as people read them: runs of digits by their value ("2 x" before "10 x"),
// letters without regard to case. Needs no locale, so it works the same under C/POSIX.
[[nodiscard]] int naturalCompare(const QString& a, const QString& b);
[[nodiscard]] inline bool naturalLess(const QString& a, const QString& b) {
    return naturalCompare(a, b) < 0;
}

// Whether a file name matches a pattern such as "*.mp3": '*' stands for any run of characters,
// '?' for any one, everything else for itself without regard to case. Matched by hand rather
// than through QDir's name filters, which compile each pattern to a regular expression and
// so load and warm up a regular-expression engine that nothing else here needs.
[[nodiscard]] bool matchesWildcard(QStringView pattern, QStringView name);

// Lists the files of one folder whose names match a pattern ("*.mp3"), case-insensitively and
// in natural order. Double-clicking an entry selects it and emits doubleClicked().
//
// Folders and names are held byte for byte (see common/localpath.h): a name that is not UTF-8
// is listed, shown readably, and handed back exactly, so that the file can be opened.
class FileListBox : public QListView {
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent = nullptr);

    // Shows the folder's matching files. The folder is taken even when it cannot be listed
    // (it then lists nothing); the result says whether listing worked.
    bool setPath(const QString& folder);
    // The folder as a full path; it ends in "/" only for the root folder.
    [[nodiscard]] QString path() const { return m_path; }

    void setPattern(const QString& pattern);
    [[nodiscard]] QString pattern() const { return m_pattern; }

    // The selected entry's name without its folder; empty when nothing is selected.
    [[nodiscard]] QString fileName() const;
    [[nodiscard]] QStringList entries() const;
    [[nodiscard]] int count() const;

    // Reads the folder again.
    bool refresh();

    // A folder path as the list reports it: absolute, cleaned, a trailing "/" only for root.
    [[nodiscard]] static QString normalizedPath(const QString& folder);

private:
    QStringListModel* m_model;
    QString m_path;
    QString m_pattern = QStringLiteral("*.mp3");
};

// A folder list that is never shown and only holds a folder: the player window keeps the
// folder being played in one (Dir1), whose path a file's name is joined to; Dir2 holds nothing.
class DirListBox : public QWidget {
    Q_OBJECT
public:
    explicit DirListBox(QWidget* parent = nullptr);

    // Takes the folder; false when it does not exist.
    bool setPath(const QString& folder);
    [[nodiscard]] QString path() const { return m_path; }

    // Whether the folder exists and its files can be listed and opened.
    [[nodiscard]] static bool canOpen(const QString& folder);

private:
    QString m_path;
};

} // namespace quorvela
