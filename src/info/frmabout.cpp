#include "info/frmabout.h"

#include "common/formbuilder.h"
#include "common/resources.h"
#include "common/twips.h"
#include "info/desktopregistrystore.h"
#include "info/sysinfolauncher.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace quorvela {

namespace {

using K = ControlKind;

constexpr QRect ClientArea = twipsRect(2340, 1935, 5730, 3555);

// The two lines of the etched separator: a grey line with a white one under it.
constexpr ControlDef AboutControls[] = {
    {"picIcon", K::Picture, nullptr, nullptr, 240, 240, 300, 300, 1},
    {"lblTitle", K::Label, nullptr, "Quorvela", 1080, 240, 3885, 480, 5},
    {"lblVersion", K::Label, nullptr, "Version " QUORVELA_VERSION_TEXT, 1050, 780, 3885, 225, 6},
    {"lblDescription", K::Label, nullptr,
     "Quorvela is a free MP3 player made by the Quorvela developers.  "
     "libmpg123 and PulseAudio are utilised to play music.",
     1050, 1125, 3885, 1170, 3},
    {"lblDisclaimer", K::Label, nullptr, "Copyright \u00A9 2026 the Quorvela developers", 255, 2625,
     3870, 825, 4},
    {"cmdOK", K::Button, nullptr, "OK", 4245, 2625, 1260, 345, 0},
    {"cmdSysInfo", K::Button, nullptr, "&System Info...", 4260, 3075, 1245, 345, 2},
    {"Line1_1", K::Custom, nullptr, nullptr, 90, 2445, 5564, 15, -1},
    {"Line1_0", K::Custom, nullptr, nullptr, 105, 2460, 5549, 30, -1},
};

// A horizontal line is a strip filled with its colour.
QWidget* makeLine(const ControlDef& def, QWidget* parent) {
    auto* line = new QWidget(parent);
    QPalette palette = line->palette();
    const bool grey = QLatin1String(def.name) == QLatin1String("Line1_1");
    palette.setColor(QPalette::Window, grey ? QColor(0x80, 0x80, 0x80) : QColor(Qt::white));
    line->setPalette(palette);
    line->setAutoFillBackground(true);
    return line;
}

// The design's black text, where it can be read: on the dark window of a dark colour scheme
// the scheme's own text colour stays.
void setBlackText(QLabel* label) {
    QPalette palette = label->palette();
    constexpr int DarkestForBlack = 128;
    if (qGray(palette.color(QPalette::Window).rgb()) < DarkestForBlack)
        return;
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
}

} // namespace

FrmAbout::FrmAbout(Services services, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_services(services) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Quorvela"));
    setWindowIcon(programIcon());
    setGeometry(ClientArea);
    setFixedSize(ClientArea.size());

    const QHash<QString, QWidget*> controls = buildForm(this, AboutControls, makeLine);
    picIcon = controlOf<QLabel>(controls, "picIcon");
    lblTitle = controlOf<QLabel>(controls, "lblTitle");
    lblVersion = controlOf<QLabel>(controls, "lblVersion");
    lblDescription = controlOf<QLabel>(controls, "lblDescription");
    lblDisclaimer = controlOf<QLabel>(controls, "lblDisclaimer");
    cmdOK = controlOf<QPushButton>(controls, "cmdOK");
    cmdSysInfo = controlOf<QPushButton>(controls, "cmdSysInfo");

    picIcon->setPixmap(QPixmap(QStringLiteral(":/icons/quorvela-16.png")));
    picIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    for (QLabel* text : {lblTitle, lblVersion, lblDescription, lblDisclaimer}) {
        text->setTextFormat(Qt::PlainText);
        text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        text->setWordWrap(true);
    }
    for (QLabel* text : {lblTitle, lblDescription, lblDisclaimer})
        setBlackText(text);

    // OK answers both Enter and Escape; either way the box goes.
    cmdOK->setDefault(true);
    cmdOK->setFocus();
    connect(cmdOK, &QPushButton::clicked, this, &QWidget::close);
    connect(cmdSysInfo, &QPushButton::clicked, this, &FrmAbout::StartSysInfo);
}

FrmAbout::~FrmAbout() = default;

void FrmAbout::setRegistryStore(registry::Store* store) {
    m_store = store;
}

void FrmAbout::StartSysInfo() {
    registry::Store* store = m_store;
    if (!store) {
        if (!m_desktopStore)
            m_desktopStore = std::make_unique<registry::DesktopRegistryStore>();
        store = m_desktopStore.get();
    }
    quorvela::StartSysInfo(*store, m_services.shell, m_services.dialogs, this);
}

} // namespace quorvela
