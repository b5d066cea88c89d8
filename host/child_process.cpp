#include "host/child_process.h"

bool startChildInJob(char* commandLine, HANDLE input, HANDLE output, void* environment, DWORD extraFlags,
                     PROCESS_INFORMATION* process, HANDLE* job)
{
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = output;
    // Suspended until it is in the job, so that nothing it starts escapes.
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, TRUE, CREATE_SUSPENDED | extraFlags,
                        environment, nullptr, &startup, process))
        return false;
    *job = CreateJobObjectA(nullptr, nullptr);
    if (*job && !AssignProcessToJobObject(*job, process->hProcess)) {
        CloseHandle(*job);
        *job = nullptr;
    }
    ResumeThread(process->hThread);
    CloseHandle(process->hThread);
    return true;
}

void endChildAndJob(HANDLE process, HANDLE job, UINT exitCode)
{
    if (!job || !TerminateJobObject(job, exitCode))
        TerminateProcess(process, exitCode);
}
