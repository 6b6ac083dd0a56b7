// The temporary files and folders of this process that are being written,
// kept where a signal handler can read them, so that an interrupted run
// leaves none behind. Only the files of this folder register theirs.
#ifndef WV_GENERATOR_TEMPREGISTRY_H
#define WV_GENERATOR_TEMPREGISTRY_H

#include <mutex>
#include <string>

// On SIGINT, SIGTERM and SIGHUP, removes the temporary files being written
// before the process ends, so an interrupted run leaves no partial file.
// Call it before any thread starts: the interrupts are blocked in the
// calling thread and every thread it starts, and one thread of its own
// waits for them.
void installInterruptCleanup();

// Creating a temporary file or folder and registering it happen under this
// lock; the interrupt thread takes it for good before it removes the files,
// so no thread is ever left between the two when the process ends.
std::mutex& tempCreationLock();

// Registers `name` in the folder `dirFd` (a temporary file, or with
// `folder` the hidden folder of a StagedFiles, whose files go with it).
// `dirFd` must stay open until unregisterTemp(). Returns the slot, or -1
// when none is free (the file is then only removed by its owner).
int registerTemp(int dirFd, const std::string& name, bool folder = false);
void unregisterTemp(int slot);

// Removes the files directly in the folder `name` of `parent` (a folder of
// ours; nothing is followed), then the folder if that leaves it empty.
// Only async-signal-safe calls.
bool removeTempFolder(int parent, const char* name);

#endif
