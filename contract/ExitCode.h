// Exit codes of the generator: the generator ends with them, the form tells
// the user what each means; only 0 counts as success.
#ifndef WV_CONTRACT_EXITCODE_H
#define WV_CONTRACT_EXITCODE_H

enum ExitCode : int {
  kExitOk = 0,              // everything asked was done
  kExitPicturesFailed = 1,  // some pictures failed; the others and the page were made
  kExitUsage = 2,           // unknown or malformed switch, unsafe prefix; nothing written
  kExitInputDir = 3,        // input directory missing or not a directory; nothing written
  kExitTemplate = 4,        // template or values file unreadable or invalid; nothing written
  kExitOutput = 5,          // output directory or index.html could not be written
  kExitStopped = 6,         // out of memory (or another failure of the system) stopped the run
};

#endif
