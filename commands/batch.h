// The popup's batch commands. Each returns 1: the command is handled.
#pragma once

#include <windows.h>

// The command id the host gave the Redirect OUT item, at load.
void takeRedirectCommand(UINT id);
// A new project starts with Redirect OUT off.
void switchRedirectOff();

// The handlers get the command's id.
LRESULT onRedirectOut(UINT command);
LRESULT onExecuteFirstBat(UINT command);
LRESULT onExecuteAsmAsBat(UINT command);
