#ifndef ZEVENTDISPATCHER_H
#define ZEVENTDISPATCHER_H

// Makes the programs use Qt's own event dispatcher instead of GLib's. The GLib one wakes
// the receiving thread through a descriptor write for every posted event, which costs a
// system call per queued sample signal and halves the rate at which samples reach the
// GUI thread. Call before the application object is created.
void useQtEventDispatcher();

#endif // ZEVENTDISPATCHER_H
