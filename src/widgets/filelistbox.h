#pragma once

#include <QListView>
#include <QStringList>

class QStringListModel;

namespace quorvela {

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

// Holds the current folder; never shown.
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
