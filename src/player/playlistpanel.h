#pragma once

#include "common/services.h"

#include <QObject>
#include <QString>

namespace quorvela {

class Form1;

// The playlist's buttons and list: Add, Delete, Save, Load, Clear, and play on activation
// (a double-click, or Enter, as the platform has it).
// Made by the player window, which owns it.
class PlaylistPanel : public QObject {
    Q_OBJECT
public:
    PlaylistPanel(Form1* form, Services services);

    // A playlist file larger than this is read only this far, as if reading had failed there.
    static constexpr qint64 MaxFileBytes = qint64(256) * 1024 * 1024;
    // No single file adds more entries than this.
    static constexpr qsizetype MaxEntriesPerFile = 10'000'000;

    // Appends the entries of the playlist file at path. An entry whose text names no file but
    // whose bytes in the playlist do is taken by its bytes (localPathFromBytes()). False when
    // the file could not be read, or only in part; entries read before the failure stay.
    bool loadFile(const QString& path);
    // Writes every entry to path as PLS for a ".pls" name, else as extended M3U, replacing the
    // file whole or not at all. Reports what goes wrong.
    bool saveFile(const QString& path);
    // Appends entries at the end, keeping the selection and the scroll position.
    void append(QStringList entries);
    // Selects the entry at row and plays it as a double-click on it does.
    void playEntry(int row);

public slots:
    void add();
    void deleteSelected();
    void save();
    void load();
    void clear();
    void playSelected();

signals:
    // The entry at row was started, whether or not it plays.
    void entryStarted(int row);

private:
    [[nodiscard]] int selectedRow() const;

    Form1* m_form;
    Services m_services;
};

} // namespace quorvela
