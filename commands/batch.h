// The popup's batch commands. Each returns 1: the command is handled.
#pragma once

#include <windows.h>

LRESULT onRedirectOut();
LRESULT onExecuteFirstBat();
LRESULT onExecuteAsmAsBat();
