; hello - a minimal Win32 GUI program for the flat assembler.
; Build: fasm hello.asm  (needs FASM's INCLUDE folder for win32a.inc)

format PE GUI 4.0
entry start

include 'win32a.inc'

; Resource IDs, shared with hello.rc. Once the IDE has exported the resource
; definitions, these lines can give way to:  include 'rc.inc'
IDD_MAIN = 100
IDI_APP  = 101
IDC_OK   = 1001
IDC_TEXT = 1002

section '.text' code readable executable

  start:
        mvo     ebx, MB_OK or MB_ICONINFORMATION   ; stand-in: error illegal instruction
        invoke  MessageBox, HWND_DESKTOP, message, caption, ebx
        invoke  ExitProcess, 0

section '.data' data readable writeable

  caption   db 'hello', 0
  message   db 'Hello from the flat assembler!', 0

section '.idata' import data readable writeable

  library kernel32, 'KERNEL32.DLL', \
          user32, 'USER32.DLL'

  import kernel32, \
         ExitProcess, 'ExitProcess'

  import user32, \
         MessageBox, 'MessageBoxA'
