// The output files, in one include: written whole (WholeFile.h), staged to
// appear together (StagedFiles.h), the leftovers of a killed run removed
// (StaleTempFiles.h), and the temporary files of an interrupted run removed
// as it ends (installInterruptCleanup, TempRegistry.h).
#ifndef WV_GENERATOR_OUTPUTFILE_H
#define WV_GENERATOR_OUTPUTFILE_H

#include "generator/files/StagedFiles.h"
#include "generator/files/StaleTempFiles.h"
#include "generator/files/TempRegistry.h"
#include "generator/files/WholeFile.h"

#endif
