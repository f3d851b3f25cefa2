#pragma once

#include <memory>

namespace quorvela {

class Form1;
class MprisService;
class PlaybackEngine;

// Offers the player to the desktop's media controls (MPRIS) on the session bus, and keeps the
// desktop from suspending while music plays. The service answers for window and engine and
// must go before either. Null, with nothing said, when there is no session bus or the name
// cannot be taken; the window works the same either way. Tests that do not call it never
// touch a bus.
[[nodiscard]] std::unique_ptr<MprisService> publishMediaControls(Form1& window,
                                                                 PlaybackEngine& engine);

// Lets the service's Next and Previous play the entries around the one started last, in the
// list it was started from, as a double-click on them would.
void offerNextAndPrevious(MprisService& service, Form1& window);

} // namespace quorvela
