// Drives the real player window on a real X server, with or without a window manager, for the
// end-to-end layout test: checks where the client area opens, then resizes the window through
// the window manager and checks the layout at each size. Saves a picture of the screen at
// each step into SHOT_FOLDER when one is given.
// Usage: e2e_layout (--frame | --no-frame) [SHOT_FOLDER]. Exits 0 when every check held.
#include "common/twips.h"
#include "widgets/filelistbox.h"
#include "player/form1.h"
#include "support/fakes.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QStatusBar>
#include <QTest>

#include <cstdio>

using namespace quorvela;

namespace {

int failures = 0;

void check(bool ok, const QString& what) {
    std::printf("%s: %s\n", ok ? "ok  " : "FAIL", qPrintable(what));
    if (!ok)
        ++failures;
}

QString text(QRect r) {
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// The bottom edge of a control in the window's coordinates.
int bottomIn(const Form1& w, const QWidget* control) {
    return control->mapTo(&w, QPoint(0, control->height())).y();
}

// The rule's bands for the outer size it worked from, as the window now stands. A band whose
// step did not run leaves what an earlier size set, so only the steps that ran are checked.
void checkLayout(const Form1& w, const QString& step, const QString& shots) {
    const QSize outer = w.outerSizeTwips();
    const int width = outer.width();
    const int height = outer.height();
    std::printf("-- %s: window %s, frame %s, rule size %dx%d twips\n", qPrintable(step),
                qPrintable(text(w.geometry())), qPrintable(text(w.frameGeometry())), width, height);
    const int clientTwips = pixelsToTwips(w.height() - w.menuBar()->height());
    check(height == clientTwips + 690 && width == pixelsToTwips(w.width()) + 120,
          QStringLiteral("the rule works from the client area plus the designed frame"));
    if (width >= 2100)
        check(w.txtPath->width() == twipsToPixels(width - 2100), QStringLiteral("folder width"));
    if (width >= 2100)
        check(w.File1->width() == twipsToPixels(width - 210), QStringLiteral("file list width"));
    if (width >= 2100 && height >= 3700) {
        check(w.File1->height() == twipsToPixels(height - 3700),
              QStringLiteral("file list height"));
        const int top = twipsToPixels(pixelsToTwips(w.File1->height()) + 500);
        check(w.Frame1->y() == top && w.Frame2->y() == top,
              QStringLiteral("both panels 500 twips below the file list's top edge + height"));
        const int statusTop = w.StatusBar1->mapTo(&w, QPoint()).y();
        check(bottomIn(w, w.Frame1) <= statusTop && bottomIn(w, w.Frame2) <= statusTop,
              QStringLiteral("no panel under the status bar (panels end at %1 and %2, the "
                             "status bar starts at %3)")
                  .arg(bottomIn(w, w.Frame1))
                  .arg(bottomIn(w, w.Frame2))
                  .arg(statusTop));
    }
    if (width >= 5000 && height >= 3700)
        check(w.Frame1->width() == twipsToPixels(width - 5000),
              QStringLiteral("playlist panel width"));
    if (width >= 5240 && height >= 3700)
        check(w.List1->width() == w.Frame1->width() - twipsToPixels(240),
              QStringLiteral("playlist width"));
    if (!shots.isEmpty()) {
        const QString file = QDir(shots).filePath(step + QStringLiteral(".png"));
        QGuiApplication::primaryScreen()->grabWindow(0).save(file);
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 2 ||
        (args.at(1) != QLatin1String("--frame") && args.at(1) != QLatin1String("--no-frame"))) {
        std::fprintf(stderr, "usage: e2e_layout (--frame | --no-frame) [SHOT_FOLDER]\n");
        return 2;
    }
    const bool framed = args.at(1) == QLatin1String("--frame");
    const QString shots = args.value(2);

    test::TestEnvironment environment;
    Form1 w(environment.services());
    w.show();
    if (!QTest::qWaitForWindowExposed(&w)) {
        std::fprintf(stderr, "e2e_layout: the window was never shown\n");
        return 1;
    }
    // The window manager puts its frame around the window after it is shown.
    if (framed)
        (void)QTest::qWaitFor([&w] { return w.frameGeometry() != w.geometry(); }, 5000);
    QTest::qWait(300);
    check(framed == (w.frameGeometry() != w.geometry()),
          framed ? QStringLiteral("the window manager drew a frame")
                 : QStringLiteral("no frame without a window manager"));
    const QPoint client = w.centralWidget()->mapToGlobal(QPoint());
    check(client == twipsPoint(2640, 1905),
          QStringLiteral("the client area opens at 2640, 1905 twips (it is at %1, %2 pixels)")
              .arg(client.x())
              .arg(client.y()));
    check(w.height() - w.menuBar()->height() == twipsToPixels(7740) &&
              w.width() == twipsToPixels(11190),
          QStringLiteral("the client area is 11190 x 7740 twips"));
    checkLayout(w, QStringLiteral("first"), shots);

    // Client-area sizes in pixels, one in each band of the rule, and back.
    const QSize sizes[] = {{1000, 700}, {330, 420}, {250, 420}, {600, 180}, {520, 360}, {746, 516}};
    for (const QSize& size : sizes) {
        const QSize wanted(size.width(), size.height() + w.menuBar()->height());
        w.resize(wanted);
        (void)QTest::qWaitFor([&w, wanted] { return w.size() == wanted; }, 3000);
        QTest::qWait(200);
        // The window keeps a minimum width that holds the status bar's panels.
        if (w.size() != wanted)
            std::printf("note: asked for %dx%d, the window took %dx%d\n", wanted.width(),
                        wanted.height(), w.width(), w.height());
        checkLayout(w, QStringLiteral("%1x%2").arg(size.width()).arg(size.height()), shots);
    }
    std::printf("%s\n", failures ? "FAILED" : "PASSED");
    return failures ? 1 : 0;
}
