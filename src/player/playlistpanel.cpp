#include "player/playlistpanel.h"

#include "common/dialogs.h"
#include "common/localpath.h"
#include "common/shownvalue.h"
#include "player/form1.h"
#include "player/playlistitemdelegate.h"
#include "player/statusbar.h"
#include "player/tracktext.h"
#include "playlist/playlistformats.h"
#include "widgets/filelistbox.h"
#include "widgets/mediaplayer.h"

#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QStringListModel>
#include <QtConcurrent/QtConcurrentRun>

#include <fcntl.h>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace quorvela {

namespace {

const QString Title = QStringLiteral("Quorvela");

// Bytes up to and including the last line end: an item cut off by a failed read is not
// taken as a whole one.
void keepWholeLines(QByteArray& bytes) {
    qsizetype last = bytes.size();
    while (last > 0 && bytes.at(last - 1) != '\n' && bytes.at(last - 1) != '\r')
        --last;
    bytes.truncate(last);
}

// Writes bytes to fd and on to the disk; 0, or the errno of the call that failed. Not through
// QSaveFile::write(): on a full disk Qt stops at the short write without the system's reason
// ("Unknown error"), and what its buffer holds is written at commit(), which then reports
// success with the file cut short.
int writeAll(int fd, QByteArrayView bytes) {
    const char* p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, p, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : EIO;
        p += written;
        left -= written;
    }
    // Some file systems (NFS, quotas) report a full disk only when the data goes out; Qt's
    // commit() ignores that.
    if (::fsync(fd) != 0 && errno != EINVAL)
        return errno;
    return 0;
}

// An entry as it can stand in a message: a long one is shortened in the middle.
QString quotedForMessage(const QString& entry) {
    constexpr qsizetype Longest = 200;
    if (entry.size() <= Longest)
        return entry;
    return entry.left(Longest / 2) + QStringLiteral("…") + entry.right(Longest / 2);
}

QString rejectionText(const PlaylistWriter& writer, const QStringList& entries,
                      const QList<qsizetype>& rejected) {
    const QString& first = entries.at(rejected.first());
    QString reason;
    switch (writer.problem(first)) {
    case PlaylistEntryProblem::LineBreak:
        reason = QStringLiteral("it holds a line break");
        break;
    case PlaylistEntryProblem::Empty:
        reason = QStringLiteral("it is empty, which only a .pls playlist can hold");
        break;
    case PlaylistEntryProblem::BlanksAtEnds:
        reason = QStringLiteral("it has blanks at its ends");
        break;
    case PlaylistEntryProblem::ChangedOnRead:
        reason = QStringLiteral("it is not a full path");
        break;
    case PlaylistEntryProblem::InvalidText:
    case PlaylistEntryProblem::None:
        reason = QStringLiteral("it holds characters that cannot be stored as text");
        break;
    }
    QString text = QStringLiteral("The playlist was not saved. This entry cannot be written so "
                                  "that it loads back unchanged, because %1:\n\n%2")
                       .arg(reason, quotedForMessage(first));
    if (rejected.size() > 1)
        text += QStringLiteral("\n\n(%1 entries in all cannot be written.)").arg(rejected.size());
    return text;
}

} // namespace

PlaylistPanel::PlaylistPanel(Form1* form, Services services)
    : QObject(form), m_form(form), m_services(services) {
    setObjectName(QStringLiteral("PlaylistPanel"));
    connect(&m_reading, &QFutureWatcherBase::finished, this, &PlaylistPanel::finishLoad);
    form->List1->setItemDelegate(new PlaylistItemDelegate(form->List1));
    connect(form->Command1, &QPushButton::clicked, this, &PlaylistPanel::add);
    connect(form->Command2, &QPushButton::clicked, this, &PlaylistPanel::deleteSelected);
    connect(form->Command3, &QPushButton::clicked, this, &PlaylistPanel::save);
    connect(form->Command4, &QPushButton::clicked, this, &PlaylistPanel::load);
    connect(form->Command5, &QPushButton::clicked, this, &PlaylistPanel::clear);
    connect(form->List1, &QAbstractItemView::activated, this, &PlaylistPanel::playSelected);
}

int PlaylistPanel::selectedRow() const {
    const QModelIndexList selected = m_form->List1->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void PlaylistPanel::add() {
    const QString name = m_form->File1->fileName();
    if (name.isEmpty())
        return;
    QStringListModel* model = m_form->playlistModel();
    const int row = model->rowCount();
    if (!model->insertRows(row, 1))
        return;
    model->setData(model->index(row), joinPath(m_form->File1->path(), name));
}

void PlaylistPanel::deleteSelected() {
    const int row = selectedRow();
    if (row < 0)
        return;
    m_form->playlistModel()->removeRows(row, 1);
    // The view would move the selection to the next entry; a second Delete must not remove
    // an entry the user never chose.
    m_form->List1->selectionModel()->clearSelection();
}

void PlaylistPanel::clear() {
    m_form->playlistModel()->setStringList({});
}

void PlaylistPanel::load() {
    const QString path =
        m_services.dialogs.openFile(m_form, QString::fromUtf8(Form1::PlaylistFilter));
    if (path.isEmpty())
        return;
    loadFile(path);
}

void PlaylistPanel::loadFile(const QString& path,
                             std::function<void(bool whole, qsizetype added)> done) {
    m_steps.push_back({path, std::move(done), {}});
    if (m_steps.size() == 1)
        runSteps();
}

void PlaylistPanel::afterLoads(std::function<void()> step) {
    m_steps.push_back({{}, {}, std::move(step)});
    if (m_steps.size() == 1)
        runSteps();
}

void PlaylistPanel::runSteps() {
    while (!m_steps.empty() && m_steps.front().path.isEmpty()) {
        // Taken off first: the step may ask for more.
        const std::function<void()> step = std::move(m_steps.front().run);
        m_steps.pop_front();
        if (step)
            step();
    }
    if (m_steps.empty() || m_reading.isRunning())
        return;
    const QString path = m_steps.front().path;
    m_readingMessage =
        QStringLiteral("Reading the playlist %1…").arg(readablePath(QFileInfo(path).fileName()));
    m_form->StatusBar1->showMessage(m_readingMessage);
    m_reading.setFuture(QtConcurrent::run(&PlaylistPanel::readFile, path));
}

void PlaylistPanel::finishLoad() {
    if (m_steps.empty())
        return;
    // Only its own message: one that came meanwhile (the sound stopped) stays.
    if (m_form->StatusBar1->currentMessage() == m_readingMessage)
        m_form->StatusBar1->clearMessage();
    ReadPlaylist read = m_reading.future().takeResult();
    Step step = std::move(m_steps.front());
    m_steps.pop_front();
    const qsizetype added = read.entries.size();
    append(std::move(read.entries));
    if (step.done)
        step.done(read.whole, added);
    runSteps();
}

PlaylistPanel::ReadPlaylist PlaylistPanel::readFile(const QString& path) {
    // Only a regular file: a folder, a device or a pipe is not a playlist, and reading one
    // could block or never end. Opened by the bytes of its name, which need not be UTF-8.
    const QFileInfo info(path);
    const QByteArray fileName = localPathBytes(path);
    struct stat status {};
    if (::stat(fileName.constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return {};
    const int fd = ::open(fileName.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {};
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    if (file.isSequential())
        return {};
    const qint64 size = file.size();
    const qint64 wanted = std::min(size, MaxFileBytes);
    QByteArray bytes(wanted, Qt::Uninitialized);
    // In pieces: one read of tens of megabytes into fresh memory held up the window's thread,
    // which shares the process's memory, for as long as it took (120 ms and more for 50 MB).
    constexpr qint64 Piece = qint64(1) << 20;
    qint64 got = 0;
    while (got < wanted) {
        const qint64 count = file.read(bytes.data() + got, std::min(wanted - got, Piece));
        if (count <= 0)
            break;
        got += count;
    }
    file.close();
    bool whole = got == wanted && size <= MaxFileBytes;
    bytes.truncate(std::max<qint64>(got, 0));
    if (!whole)
        keepWholeLines(bytes);
    const QString folder = info.absolutePath();
    PlaylistEntries read =
        playlistParserFor(info.fileName(), bytes).read(bytes, folder, MaxEntriesPerFile);
    // A playlist made where the files' names are not UTF-8 (an old Windows machine, a FAT
    // drive) reads as Windows-1252 text that names no file; its bytes are the names on disk.
    for (const PlaylistEntries::RawItem& raw : read.rawItems) {
        QString& entry = read.paths[raw.index];
        if (existsOnDisk(localPathBytes(entry)))
            continue;
        if (const QByteArray name = resolvePlaylistBytes(raw.bytes, folder);
            !name.isEmpty() && existsOnDisk(name))
            entry = localPathFromBytes(name);
    }
    read.rawItems.clear();
    bytes = QByteArray();
    ReadPlaylist result{std::move(read.paths), whole};
    if (result.entries.size() >= MaxEntriesPerFile)
        result.whole = false;
    return result;
}

void PlaylistPanel::append(QStringList entries) {
    if (entries.isEmpty())
        return;
    QStringListModel* model = m_form->playlistModel();
    QListView* list = m_form->List1;
    // One reset instead of a signal per row keeps a million entries quick; the selection,
    // the current entry and the scroll position are put back as they were.
    const int selected = selectedRow();
    const int current = list->currentIndex().row();
    const int scrolled = list->verticalScrollBar()->value();
    QStringList all = model->stringList();
    if (all.isEmpty())
        all = std::move(entries);
    else
        all.append(std::move(entries));
    model->setStringList(all);
    all = QStringList();
    if (current >= 0)
        list->selectionModel()->setCurrentIndex(model->index(current),
                                                QItemSelectionModel::NoUpdate);
    if (selected >= 0)
        list->selectionModel()->select(model->index(selected), QItemSelectionModel::ClearAndSelect);
    list->verticalScrollBar()->setValue(scrolled);
}

void PlaylistPanel::save() {
    const QString path = m_services.dialogs.saveFile(
        m_form, QString::fromUtf8(Form1::PlaylistFilter), QStringLiteral("m3u"));
    if (path.isEmpty())
        return;
    saveFile(path);
}

bool PlaylistPanel::saveFile(const QString& path) {
    const QStringList entries = m_form->playlistEntries();
    const PlaylistWriter& writer = playlistWriterFor(path);
    const PlaylistText text = writer.write(entries);
    if (!text.rejected.isEmpty()) {
        m_services.dialogs.message(m_form, rejectionText(writer, entries, text.rejected), Title,
                                   Dialogs::Icon::None);
        return false;
    }
    QSaveFile file(path);
    QString failure;
    if (file.open(QIODevice::WriteOnly)) {
        // Not committed when the write fails: the file already there stays as it was.
        if (const int error = writeAll(file.handle(), text.bytes); error != 0)
            failure = QString::fromLocal8Bit(std::strerror(error));
        else if (file.commit())
            return true;
    }
    if (failure.isEmpty())
        failure = file.errorString();
    m_services.dialogs.message(
        m_form, QStringLiteral("The playlist could not be saved to %1:\n%2").arg(path, failure),
        Title, Dialogs::Icon::Critical);
    return false;
}

void PlaylistPanel::playEntry(int row) {
    const QModelIndex index = m_form->playlistModel()->index(row);
    if (!index.isValid())
        return;
    m_form->List1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_form->List1->scrollTo(index);
    playSelected();
}

void PlaylistPanel::playSelected() {
    const int row = selectedRow();
    if (row < 0)
        return;
    const QString entry = m_form->playlistModel()->index(row).data().toString();
    emit entryStarted(row);
    (void)m_form->startPlaying(entry, QStringLiteral("Playlist"),
                               {QStringLiteral("File not found! (Or other error)"),
                                QStringLiteral("Quorvela Error!"), Dialogs::Icon::Critical});
}

} // namespace quorvela
