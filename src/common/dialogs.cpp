#include "common/dialogs.h"

#include "common/localpath.h"

#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include <dirent.h>

namespace quorvela {

void DesktopDialogs::message(QWidget* parent, const QString& text, const QString& title, Icon icon,
                             const QString& informative) {
    QMessageBox box(icon == Icon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon, title,
                    text, QMessageBox::Ok, parent);
    box.setInformativeText(informative);
    box.exec();
}

namespace {

// The one name in the folder that reads as name does, either as a file dialog decodes it or as
// this program shows it; a null string when none or several do.
QString nameReadAs(const QString& folder, const QString& name) {
    DIR* dir = ::opendir(localPathBytes(folder).constData());
    if (!dir)
        return {};
    QString found;
    int matches = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const QString exact = localPathFromBytes(entry->d_name);
        if (QFile::decodeName(entry->d_name) == name || readablePath(exact) == name) {
            found = exact;
            ++matches;
        }
    }
    ::closedir(dir);
    return matches == 1 ? found : QString();
}

// Qt's own folder chooser neither lists a folder whose name is not UTF-8 nor takes it when
// its name is typed; it is taken here when it can be found on disk. No Q_OBJECT, so that Qt still
// shows the desktop's own chooser where there is one.
class FolderDialog final : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    [[nodiscard]] QString chosen() const { return pathOnDisk(selectedFiles().value(0)); }

protected:
    void accept() override {
        const QString picked = selectedFiles().value(0);
        if (!picked.isEmpty() && chosen() != picked) {
            // Past QFileDialog's own check, which would refuse it.
            QDialog::accept(); // NOLINT(bugprone-parent-virtual-call)
            return;
        }
        QFileDialog::accept();
    }
};

} // namespace

QString DesktopDialogs::chooseFolder(QWidget* parent, const QString& prompt) {
    FolderDialog dialog(parent, prompt, QDir::homePath());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.chosen();
}

QString DesktopDialogs::openFile(QWidget* parent, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, QString(), QString(), qtFileFilter(filter));
}

QString DesktopDialogs::saveFile(QWidget* parent, const QString& filter,
                                 const QString& defaultSuffix) {
    QFileDialog dialog(parent, QString(), QString(), qtFileFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

std::optional<QColor> DesktopDialogs::chooseColor(QWidget* parent, const QColor& initial) {
    const QColor chosen = QColorDialog::getColor(initial, parent);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

QString qtFileFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        QString description = parts.at(i);
        // Qt reads the patterns from the last parentheses of each entry, so a description
        // that already names its patterns must not be followed by a second pair.
        const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        if (open >= 0)
            description.truncate(open);
        filters.append(description.trimmed() + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

QString pathOnDisk(const QString& decoded) {
    if (!QDir::isAbsolutePath(decoded) || existsOnDisk(localPathBytes(decoded)))
        return decoded;
    QString path;
    for (const QString& part :
         QDir::cleanPath(decoded).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        QString next = path + QLatin1Char('/') + part;
        if (!existsOnDisk(localPathBytes(next))) {
            const QString name = nameReadAs(path.isEmpty() ? QStringLiteral("/") : path, part);
            if (name.isNull())
                return decoded;
            next = path + QLatin1Char('/') + name;
        }
        path = next;
    }
    return path;
}

} // namespace quorvela
