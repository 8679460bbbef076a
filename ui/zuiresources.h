#ifndef ZUIRESOURCES_H
#define ZUIRESOURCES_H

// The images live in a resource file compiled into a static library, which the linker
// would drop unless something refers to it: every program and test using the window's
// widgets calls this once before building any of them.
void initUiResources();

#endif // ZUIRESOURCES_H
