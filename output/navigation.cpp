// Double-clicking an assembler message of the form `path [line]...` in the
// output pane marks that line in the open editor of that source.
#include <windows.h>
#include <richedit.h>

#include "core/line_parse.h"
#include "core/text_core.h"
#include "host/addin_state.h"
#include "settings/ui_text.h"

namespace {

// The place a double-clicked line names; the enumeration's user value
// points to it.
struct SourcePlace {
    const char* fileName;
    int lineIndex;
};

// Called by the host for each child: the first whose path is the place's
// file gets the error mark and the caret on the line, and is activated.
LRESULT CALLBACK jumpToErrorLine(HWND child, LPARAM userValue)
{
    const SourcePlace* place = (const SourcePlace*)userValue;
    const ChildRecord* record = childRecordOf(child);
    // Byte for byte: the locale's comparison may call different paths equal,
    // and costs more than the rest of a long enumeration.
    if (!record || !textsEqual(record->fullPath, place->fileName))
        return 1;
    HWND editor = record->editor;
    WPARAM lineIndex = (WPARAM)(INT_PTR)place->lineIndex;
    SendMessageA(editor, HEM_SETLINEMARK, lineIndex, HEM_MARK_ERROR);
    LONG start = (LONG)SendMessageA(editor, EM_LINEINDEX, lineIndex, 0);
    CHARRANGE caret = {start, start};
    SendMessageA(editor, EM_EXSETSEL, 0, (LPARAM)&caret);
    SendMessageA(editor, EM_SCROLLCARET, 0, 0);
    SendMessageA(child, WM_CHILDACTIVATE, 0, 0);
    return 0;
}

}  // namespace

// Sees every message of the host's output control first. Acts only on a
// left-button double-click: on a line naming a source place it marks that
// place in the open editor and returns 1; anything else returns 0.
extern "C" LRESULT WINAPI OutWindowProc(HWND, UINT message, WPARAM, LPARAM)
{
    if (message != WM_LBUTTONDBLCLK)
        return 0;
    HWND output = g.outputControl;
    SendMessageA(output, HEM_SETLINEHIGHLIGHT, (WPARAM)g.highlightedOutputLine, 0);

    CHARRANGE selection;
    SendMessageA(output, EM_EXGETSEL, 0, (LPARAM)&selection);
    int line = (int)SendMessageA(output, EM_EXLINEFROMCHAR, 0, selection.cpMin);
    // Remembered before any test, so the next double-click clears this line.
    g.highlightedOutputLine = line;

    LONG first = (LONG)SendMessageA(output, EM_LINEINDEX, (WPARAM)line, 0);
    DWORD length = (DWORD)SendMessageA(output, EM_LINELENGTH, (WPARAM)first, 0);
    if (length == 0 || length >= WORK_BUFFER_SIZE)
        return 0;
    char text[WORK_BUFFER_SIZE];
    TEXTRANGEA range;
    range.chrg.cpMin = first;
    range.chrg.cpMax = first + (LONG)length;
    range.lpstrText = text;
    text[0] = '\0';
    LONG got = (LONG)SendMessageA(output, EM_GETTEXTRANGE, 0, (LPARAM)&range);
    if (got < 0 || got > (LONG)length)
        got = 0;
    text[got] = '\0';

    ErrorLinePlace parsed;
    if (!parseErrorLine(text, (size_t)got, &parsed))
        return 0;
    text[parsed.nameLength] = '\0';

    SourcePlace place = {text, parsed.lineIndex};
    SendMessageA(g.mainWindow, HM_ENUM_CHILDREN, (WPARAM)jumpToErrorLine, (LPARAM)&place);
    SendMessageA(output, HEM_SETLINEHIGHLIGHT, (WPARAM)g.highlightedOutputLine, 1);
    return 1;
}
