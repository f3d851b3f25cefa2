#include "player/resizerule.h"

#include "common/twips.h"

#include <QWidget>

namespace quorvela {

namespace {

// The controls the rule moves, measured in twips.
class ControlsLayout final : public ResizeTarget {
public:
    explicit ControlsLayout(const ResizedControls& controls) : m_c(controls) {}

    void setFolderTextWidth(int twips) override { setWidth(m_c.folderText, twips); }
    void setFileListWidth(int twips) override { setWidth(m_c.fileList, twips); }
    void setFileListHeight(int twips) override {
        m_c.fileList->resize(m_c.fileList->width(), twipsToPixels(twips));
    }
    int fileListHeight() const override { return pixelsToTwips(m_c.fileList->height()); }
    void setPlaylistPanelTop(int twips) override { setTop(m_c.playlistPanel, twips); }
    void setAudioPanelTop(int twips) override { setTop(m_c.audioPanel, twips); }
    void setPlaylistPanelWidth(int twips) override { setWidth(m_c.playlistPanel, twips); }
    int playlistPanelWidth() const override { return pixelsToTwips(m_c.playlistPanel->width()); }
    void setPlaylistWidth(int twips) override { setWidth(m_c.playlist, twips); }

private:
    static void setWidth(QWidget* control, int twips) {
        control->resize(twipsToPixels(twips), control->height());
    }
    static void setTop(QWidget* control, int twips) {
        control->move(control->x(), twipsToPixels(twips));
    }

    const ResizedControls& m_c;
};

} // namespace

void applyResizeRule(ResizeTarget& target, int outerWidth, int outerHeight, bool minimized) {
    if (minimized)
        return;
    // Each step reads its input afresh: the panels follow the height the file list really
    // took, and the playlist the width its panel really took.
    const int folderTextWidth = outerWidth - 2100;
    if (folderTextWidth < 0)
        return;
    target.setFolderTextWidth(folderTextWidth);

    const int fileListWidth = outerWidth - 210;
    if (fileListWidth < 0)
        return;
    target.setFileListWidth(fileListWidth);

    const int fileListHeight = outerHeight - 3700;
    if (fileListHeight < 0)
        return;
    target.setFileListHeight(fileListHeight);

    target.setPlaylistPanelTop(target.fileListHeight() + 500);
    target.setAudioPanelTop(target.fileListHeight() + 500);

    const int panelWidth = outerWidth - 5000;
    if (panelWidth < 0)
        return;
    target.setPlaylistPanelWidth(panelWidth);

    const int playlistWidth = target.playlistPanelWidth() - 240;
    if (playlistWidth < 0)
        return;
    target.setPlaylistWidth(playlistWidth);
}

void applyResizeRule(const ResizedControls& controls, int outerWidth, int outerHeight,
                     bool minimized) {
    ControlsLayout layout(controls);
    applyResizeRule(layout, outerWidth, outerHeight, minimized);
}

} // namespace quorvela
