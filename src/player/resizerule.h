#pragma once

class QWidget;

namespace quorvela {

// The parts of the player window that follow its size. Sizes are in twips; a getter reports
// what the control really took, which may differ from what it was set to.
class ResizeTarget {
public:
    ResizeTarget() = default;
    ResizeTarget(const ResizeTarget&) = delete;
    ResizeTarget& operator=(const ResizeTarget&) = delete;
    virtual ~ResizeTarget() = default;

    virtual void setFolderTextWidth(int twips) = 0;
    virtual void setFileListWidth(int twips) = 0;
    virtual void setFileListHeight(int twips) = 0;
    [[nodiscard]] virtual int fileListHeight() const = 0;
    virtual void setPlaylistPanelTop(int twips) = 0;
    virtual void setAudioPanelTop(int twips) = 0;
    virtual void setPlaylistPanelWidth(int twips) = 0;
    [[nodiscard]] virtual int playlistPanelWidth() const = 0;
    virtual void setPlaylistWidth(int twips) = 0;
};

// Lays the window out again for its new outer size (borders, title and menu bar included).
// The steps run in a fixed order and the first one that would give a negative size stops the
// pass silently: what was set before it stays, what comes after it keeps its old value.
// Nothing happens while the window is minimised.
void applyResizeRule(ResizeTarget& target, int outerWidth, int outerHeight, bool minimized);

// The player window's controls that follow its size.
struct ResizedControls {
    QWidget* folderText;    // txtPath
    QWidget* fileList;      // File1
    QWidget* playlistPanel; // Frame1
    QWidget* audioPanel;    // Frame2
    QWidget* playlist;      // List1
};
// The same rule, moving the controls themselves.
void applyResizeRule(const ResizedControls& controls, int outerWidth, int outerHeight,
                     bool minimized);

} // namespace quorvela
