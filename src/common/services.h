#pragma once

namespace quorvela {

class Dialogs;
class PlaybackEngine;
class Shell;
class SettingsStore;

// What the windows need from the outside world, handed down from main() (or a test).
struct Services {
    Dialogs& dialogs;
    Shell& shell;
    SettingsStore& settings;
    // What plays; the window's transport controls and the desktop's media controls share it.
    PlaybackEngine& engine;
};

} // namespace quorvela
