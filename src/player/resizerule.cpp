#include "player/resizerule.h"

namespace quorvela {

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

} // namespace quorvela
