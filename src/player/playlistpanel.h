#pragma once

#include "common/services.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

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

    // What reading a playlist file gave.
    struct ReadPlaylist {
        QStringList entries;
        // False when the file could not be read, or only in part; the entries read before
        // the failure are there.
        bool whole = false;
    };
    // Reads the playlist file at path. An entry whose text names no file but whose bytes in
    // the playlist do is taken by its bytes (localPathFromBytes()). Touches no widget, so
    // that it runs off the window's thread: a large file, or one of junk, takes seconds.
    [[nodiscard]] static ReadPlaylist readFile(const QString& path);

    // Reads the playlist file at path off the window's thread and appends its entries once
    // every load asked for earlier has been appended; then calls done, if given, with
    // whether the file was read whole and how many entries it added.
    void loadFile(const QString& path, std::function<void(bool whole, qsizetype added)> done = {});
    // Runs step on the window's thread once every load asked for earlier has been appended:
    // at once when none is under way.
    void afterLoads(std::function<void()> step);
    [[nodiscard]] bool isLoading() const { return !m_steps.empty(); }
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
    void runSteps();
    void finishLoad();

    // A load (path given) or a step of a caller, in the order they were asked for.
    struct Step {
        QString path;
        std::function<void(bool whole, qsizetype added)> done;
        std::function<void()> run;
    };

    Form1* m_form;
    Services m_services;
    std::deque<Step> m_steps;
    QFutureWatcher<ReadPlaylist> m_reading;
    QString m_readingMessage;
};

} // namespace quorvela
