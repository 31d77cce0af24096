#pragma once

namespace quil {

// How an identification run ends on the window: the texts of status lines
// 1 and 2 and what becomes of the find button. The one table from the
// network's and the fingerprint's result codes to what the user reads.
class RunOutcome {
  public:
    // Where the run ended.
    enum class Stage {
        kStart,       // its worker or status ticker could not be started
        kHostLookup,  // fetching or resolving the server's host name
        kHandshake,
        kQuery,
    };

    // The outcome of `code` at `stage`. At kHostLookup and kStart every code
    // is a failure; a stop request (-3) is never shown, its caller shows the
    // idle state instead.
    static RunOutcome Describe(Stage stage, int code);

    // Null for a found song: its lines are the answer's title and artist.
    const char* line1 = nullptr;
    const char* line2 = nullptr;
    // A found song keeps the find button's stop look (the next click
    // dismisses it), keeps line 3 and shows the link button. Every other
    // outcome gives the button its find look back and empties line 3.
    bool found = false;
};

}  // namespace quil
