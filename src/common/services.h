#pragma once

namespace quorvela {

class Dialogs;
class Shell;
class SettingsStore;

// What the windows need from the outside world, handed down from main() (or a test).
struct Services {
    Dialogs& dialogs;
    Shell& shell;
    SettingsStore& settings;
};

} // namespace quorvela
