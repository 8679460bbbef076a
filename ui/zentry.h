#ifndef ZENTRY_H
#define ZENTRY_H

class QApplication;
class ZSingleApplication;

// The application-wide style sheet: bold group-box titles, a light blue tool bar, gray
// read-only fields and the look of the graphs' Print buttons.
extern const char *const QuoraviStyleSheet;

// The "Windows" widget style and the style sheet.
void applyQuoraviLook(QApplication &application);

struct ZEntryOptions
{
    // The simulated box instead of the USB bridge.
    bool simulate = false;
    // Closes the "already running" box after this many milliseconds; 0 waits for the
    // user. Tests arm it.
    int alreadyRunningTimeoutMs = 0;
};

// The second start's box "Quoravi is already running!", closed by itself after
// `timeoutMs` when that is above 0.
void showAlreadyRunning(int timeoutMs);

// The program: refuses a second instance (a box, then 0), otherwise shows the main
// window and returns the exit code of the event loop.
int runQuoravi(ZSingleApplication &application, const ZEntryOptions &options);

#endif // ZENTRY_H
