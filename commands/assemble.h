// Assembling and building FASM projects: the host's assemble, build and run
// commands, and "Assemble current". The dispatch calls these for FASM
// projects only. Each handler returns 0 to leave the command to the host, 1
// when the add-in handled it.
#pragma once

#include <windows.h>

#include "host/host_interface.h"

struct BuildPreparation {
    bool ready;  // false: no project, or the user stopped at unsaved files
    int resourceScriptCount;
    ProjectInfo project;  // the host's record of the open project
};

// Saves all files, clears the editors' error marks and the output pane, and
// resets the run guard. Also the start of the batch commands.
BuildPreparation prepareBuild();
// What became of a build: cancelled when the user declined to name an
// assembler, so that nothing was built.
enum BuildOutcome { BUILD_SUCCEEDED, BUILD_FAILED, BUILD_CANCELLED };
// A command's verdict, kept for the run guard: a failed build, or a run
// that could not start. Nothing else makes the guard ask.
void recordBuild(BuildOutcome outcome);
// No build failed and no run command waits: at load.
void resetBuildCommands();
// A new project has no run command waiting.
void forgetPendingRun();
// The full path of the first child of the host's first set whose file type
// is fileType, or null. Valid during the command.
const char* findFirstChildOfType(DWORD fileType);

// The handlers get the command's id.
LRESULT onHostAssemble(UINT command);
LRESULT onHostBuild(UINT command);
// The host's run commands: after a failed build the user is asked first;
// a run that goes ahead is remembered and repeated after the next good build.
LRESULT guardRunCommand(UINT command);
LRESULT onAssembleCurrent(UINT command);
