#include "common/dialogs.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace quorvela {

void DesktopDialogs::message(QWidget* parent, const QString& text, const QString& title,
                             Icon icon) {
    QMessageBox box(icon == Icon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon, title,
                    text, QMessageBox::Ok, parent);
    box.exec();
}

QString DesktopDialogs::chooseFolder(QWidget* parent, const QString& prompt) {
    return QFileDialog::getExistingDirectory(parent, prompt, QDir::homePath(),
                                             QFileDialog::ShowDirsOnly);
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

} // namespace quorvela
