#include "player/resizerule.h"

#include <QStringList>
#include <QTest>

using namespace quorvela;

namespace {

// Records what the rule set; the file list may round its height, as a real list can.
class FakeLayout final : public ResizeTarget {
public:
    void setFolderTextWidth(int t) override { log << QStringLiteral("txt=%1").arg(t); }
    void setFileListWidth(int t) override { log << QStringLiteral("fileW=%1").arg(t); }
    void setFileListHeight(int t) override {
        height = t - t % heightStep;
        log << QStringLiteral("fileH=%1").arg(t);
    }
    int fileListHeight() const override { return height; }
    void setPlaylistPanelTop(int t) override { log << QStringLiteral("f1Top=%1").arg(t); }
    void setAudioPanelTop(int t) override { log << QStringLiteral("f2Top=%1").arg(t); }
    void setPlaylistPanelWidth(int t) override {
        width = t;
        log << QStringLiteral("f1W=%1").arg(t);
    }
    int playlistPanelWidth() const override { return width; }
    void setPlaylistWidth(int t) override { log << QStringLiteral("listW=%1").arg(t); }

    QStringList log;
    int height = 3015;
    int width = 5535;
    int heightStep = 1;
};

} // namespace

class ResizeRuleTest : public QObject {
    Q_OBJECT
private slots:
    void bands_data() {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("worked example")
            << 11310 << 8430 << QStringList{"txt=9210",   "fileW=11100", "fileH=4730", "f1Top=5230",
                                            "f2Top=5230", "f1W=6310",    "listW=6070"};
        QTest::newRow("too narrow for anything") << 2099 << 8430 << QStringList{};
        QTest::newRow("zero width is allowed")
            << 2100 << 3000 << QStringList{"txt=0", "fileW=1890"};
        QTest::newRow("too low for the list")
            << 6000 << 3699 << QStringList{"txt=3900", "fileW=5790"};
        QTest::newRow("too narrow for the playlist panel")
            << 4999 << 5000
            << QStringList{"txt=2899", "fileW=4789", "fileH=1300", "f1Top=1800", "f2Top=1800"};
        QTest::newRow("panel too narrow for the playlist")
            << 5239 << 5000 << QStringList{"txt=3139",   "fileW=5029", "fileH=1300",
                                           "f1Top=1800", "f2Top=1800", "f1W=239"};
        QTest::newRow("just wide enough")
            << 5240 << 3700 << QStringList{"txt=3140",  "fileW=5030", "fileH=0", "f1Top=500",
                                           "f2Top=500", "f1W=240",    "listW=0"};
    }
    void bands() {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(QStringList, steps);
        FakeLayout layout;
        applyResizeRule(layout, w, h, false);
        QCOMPARE(layout.log, steps);
    }

    void minimisedDoesNothing() {
        FakeLayout layout;
        applyResizeRule(layout, 11310, 8430, true);
        QVERIFY(layout.log.isEmpty());
    }

    void panelsFollowTheHeightTheListTook() {
        FakeLayout layout;
        layout.heightStep = 195; // a list that shows whole rows only
        applyResizeRule(layout, 11310, 8430, false);
        QVERIFY(layout.log.contains(QStringLiteral("f1Top=%1").arg(4680 + 500)));
        QVERIFY(layout.log.contains(QStringLiteral("f2Top=%1").arg(4680 + 500)));
    }
};

QTEST_GUILESS_MAIN(ResizeRuleTest)
#include "tst_resizerule.moc"
