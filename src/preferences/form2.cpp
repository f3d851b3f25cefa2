#include "preferences/form2.h"

#include "common/dialogs.h"
#include "common/formbuilder.h"
#include "common/resources.h"
#include "common/twips.h"
#include "widgets/controlcolors.h"

#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

#include <initializer_list>

namespace quorvela {

namespace {

using K = ControlKind;

// The window's controls in the order they are created (twips).
constexpr ControlDef Form2Controls[] = {
    {"Command1", K::Button, nullptr, "Background Color:", 120, 120, 1575, 375, 0},
    {"Label1", K::Label, nullptr, "", 1800, 120, 375, 375, 1},
    {"Command2", K::Button, nullptr, "Text Color:", 120, 600, 1575, 375, 2},
    {"Label2", K::Label, nullptr, "", 1800, 600, 375, 375, 3},
    {"Command3", K::Button, nullptr, "OK", 480, 1200, 735, 375, 4},
    {"Command4", K::Button, nullptr, "Cancel", 1320, 1200, 855, 375, 5},
};

// Where the client area opens on the screen, and its size.
constexpr QRect ClientArea = twipsRect(3915, 2610, 2295, 1635);

// The layout is fixed in twips, but the desktop's font is not: when a caption would be cut
// off, the window's font steps down until every caption fits, with a pixel to spare each side.
bool captionsFit(const QFont& font, std::initializer_list<QPushButton*> buttons) {
    const QFontMetrics metrics(font);
    for (QPushButton* button : buttons) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.rect = button->rect();
        option.text = button->text();
        const QRect contents =
            button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        if (metrics.horizontalAdvance(button->text()) > contents.width() - 2)
            return false;
    }
    return true;
}

void fitCaptions(QWidget* form, std::initializer_list<QPushButton*> buttons) {
    constexpr qreal SmallestPoints = 6.0;
    constexpr int SmallestPixels = 8;
    QFont font = form->font();
    while (!captionsFit(font, buttons)) {
        if (font.pointSizeF() > 0) {
            if (font.pointSizeF() - 0.5 < SmallestPoints)
                break;
            font.setPointSizeF(font.pointSizeF() - 0.5);
        } else {
            if (font.pixelSize() - 1 < SmallestPixels)
                break;
            font.setPixelSize(font.pixelSize() - 1);
        }
    }
    if (font != form->font())
        form->setFont(font);
}

void makeSwatch(QLabel* swatch) {
    swatch->setFrameShape(QFrame::Box);
    swatch->setFrameShadow(QFrame::Plain);
    swatch->setLineWidth(1);
}

} // namespace

Form2::Form2(QWidget* player, Services services, QWidget* parent)
    : QWidget(parent), m_player(player), m_services(services) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Preferences"));
    setWindowIcon(programIcon());
    // A fixed-size tool window: a title and a close button, nothing to minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    // Closing is unloading: the next opening starts again from the player's colours.
    setAttribute(Qt::WA_DeleteOnClose);
    setGeometry(ClientArea);
    setFixedSize(ClientArea.size());

    createControls();
    loadFromPlayer();
}

void Form2::createControls() {
    const auto controls = buildForm(this, Form2Controls);
    Command1 = controlOf<QPushButton>(controls, "Command1");
    Label1 = controlOf<QLabel>(controls, "Label1");
    Command2 = controlOf<QPushButton>(controls, "Command2");
    Label2 = controlOf<QLabel>(controls, "Label2");
    Command3 = controlOf<QPushButton>(controls, "Command3");
    Command4 = controlOf<QPushButton>(controls, "Command4");

    fitCaptions(this, {Command1, Command2, Command3, Command4});
    makeSwatch(Label1);
    makeSwatch(Label2);

    // Enter and Escape are left alone: neither button answers them on its own.
    for (QPushButton* button : {Command1, Command2, Command3, Command4}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    connect(Command1, &QPushButton::clicked, this, &Form2::pickBackgroundColor);
    connect(Command2, &QPushButton::clicked, this, &Form2::pickTextColor);
    connect(Command3, &QPushButton::clicked, this, &Form2::applyAndClose);
    connect(Command4, &QPushButton::clicked, this, &QWidget::close);
}

ListColors* Form2::playerLists() const {
    return dynamic_cast<ListColors*>(m_player.data());
}

void Form2::loadFromPlayer() {
    if (const ListColors* player = playerLists()) {
        setBackColor(Label1, player->listBackColor());
        setBackColor(Label2, player->listForeColor());
    }
}

void Form2::pickBackgroundColor() {
    pickColorFor(Label1);
}

void Form2::pickTextColor() {
    pickColorFor(Label2);
}

void Form2::pickColorFor(QLabel* swatch) {
    // The dialog opens at the colour the swatch shows: OK pressed as offered must change
    // nothing. A cancelled dialog, or one that hands back no usable colour, leaves the swatch
    // alone.
    const std::optional<QColor> chosen =
        m_services.dialogs.chooseColor(this, swatch->palette().color(QPalette::Window));
    if (!chosen || !chosen->isValid())
        return;
    setBackColor(swatch, color::fromQColor(*chosen));
}

void Form2::applyAndClose() {
    if (ListColors* player = playerLists())
        player->setListColors(backColor(Label1), backColor(Label2));
    close();
}

} // namespace quorvela
