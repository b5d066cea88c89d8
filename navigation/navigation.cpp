// Double-clicking an assembler message in the output pane marks the line it
// names in the open editor of that source: a line of the form `path [line]...`
// names it itself, an error message through every place of its error: the
// place headings above it, one per level of macros or a chain of included
// files and macro frames on one line. The innermost open document wins, so a
// mistake passed through the headers' macros leads to the user's own line.
#include <windows.h>
#include <richedit.h>

#include "navigation/navigation.h"

#include "core/line_parse.h"
#include "core/path_text.h"
#include "core/text_core.h"
#include "host/host_ui.h"
#include "host/host_windows.h"
#include "settings/ui_text.h"

namespace {

// The output line that carries the highlight: the one last highlighted or
// double-clicked, so that the next double-click takes the highlight off it.
int highlightedOutputLine;

// Room for the place heading above an error message: a few full paths.
enum { HEADING_BUFFER_SIZE = 1024 };

// The place a double-clicked line names; the enumeration's user value
// points to it, and the callback reports back through found.
struct SourcePlace {
    const char* fileName;
    int lineIndex;
    bool found;
};

// The error mark and the caret on the line, and the document's window in front.
void markPlace(HWND child, const ChildRecord* record, int lineIndex)
{
    HWND editor = record->editor;
    WPARAM line = (WPARAM)(INT_PTR)lineIndex;
    SendMessageA(editor, HEM_SETLINEMARK, line, HEM_MARK_ERROR);
    LONG start = (LONG)SendMessageA(editor, EM_LINEINDEX, line, 0);
    CHARRANGE caret = {start, start};
    SendMessageA(editor, EM_EXSETSEL, 0, (LPARAM)&caret);
    SendMessageA(editor, EM_SCROLLCARET, 0, 0);
    SendMessageA(child, WM_CHILDACTIVATE, 0, 0);
}

// Called by the host for each child: the first whose path is the place's
// file gets the error mark and the caret on the line, and is activated.
LRESULT CALLBACK jumpToErrorLine(HWND child, LPARAM userValue)
{
    SourcePlace* place = (SourcePlace*)userValue;
    const ChildRecord* record = childRecordOf(child);
    // Byte for byte: the locale's comparison may call different paths equal,
    // and costs more than the rest of a long enumeration.
    if (!record || !textsEqual(record->fullPath, place->fileName))
        return 1;
    markPlace(child, record, place->lineIndex);
    place->found = true;
    return 0;
}

// Equal for any two names of one file while both are open.
struct FileIdentity {
    DWORD volume, indexHigh, indexLow;
};

bool identityOf(const char* path, FileIdentity* identity)
{
    // No access asked for: nothing is read, and no other program's sharing
    // mode can refuse it.
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool known = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    if (known) {
        identity->volume = info.dwVolumeSerialNumber;
        identity->indexHigh = info.nFileIndexHigh;
        identity->indexLow = info.nFileIndexLow;
    }
    return known;
}

bool sameIdentity(const FileIdentity& a, const FileIdentity& b)
{
    return a.volume == b.volume && a.indexHigh == b.indexHigh && a.indexLow == b.indexLow;
}

typedef int(WINAPI* CompareStringOrdinalProc)(LPCWCH, int, LPCWCH, int, BOOL);

enum IdentityState { IDENTITY_NOT_ASKED, IDENTITY_KNOWN, IDENTITY_NONE };

// The clicked name's file, looked for among documents whose paths are other
// names of it. What costs a file-system request is done once per click, and
// for a document only when its file name says it may be that file and its
// path alone cannot tell.
struct SameFileSearch {
    SourcePlace place;         // fileName: the clicked name, absolute, short names expanded
    WCHAR fullName[MAX_PATH];  // the same, as the file system reads it
    int fullNameLength;
    const WCHAR* fileName;  // the file name it ends with, inside fullName
    int fileNameLength;
    // Compares names as the file system does; null on systems without it,
    // where every document is opened to see.
    CompareStringOrdinalProc compare;
    IdentityState state;  // the clicked file is opened when a document first needs it
    FileIdentity identity;
};

// Letter case ignored as the file system ignores it; false when either text
// cannot be converted or there is no comparison to make it with.
bool sameIgnoringCase(const SameFileSearch* search, const char* text, const WCHAR* wide, int wideLength)
{
    WCHAR converted[MAX_PATH];
    int length = MultiByteToWideChar(CP_ACP, 0, text, -1, converted, MAX_PATH);
    return search->compare && length > 1 &&
           search->compare(converted, length - 1, wide, wideLength, TRUE) == CSTR_EQUAL;
}

bool mayBeSameFile(const SameFileSearch* search, const char* path)
{
    if (!isPlainFilePath(path))
        return false;
    const char* name = finalPathComponent(path);
    return !search->compare || mayBeShortAlias(name) ||
           sameIgnoringCase(search, name, search->fileName, search->fileNameLength);
}

// The document's path names the clicked file when, made absolute, it equals
// the clicked name in all but letter case; otherwise only the two files'
// identities can tell (short names, links, another drive to the same place).
bool isSameFile(SameFileSearch* search, const char* path)
{
    char fullPath[MAX_PATH];
    DWORD length = GetFullPathNameA(path, MAX_PATH, fullPath, nullptr);
    if (length > 0 && length < MAX_PATH &&
        sameIgnoringCase(search, fullPath, search->fullName, search->fullNameLength))
        return true;
    if (search->state == IDENTITY_NOT_ASKED)
        search->state =
            identityOf(search->place.fileName, &search->identity) ? IDENTITY_KNOWN : IDENTITY_NONE;
    FileIdentity identity;
    return search->state == IDENTITY_KNOWN && identityOf(path, &identity) &&
           sameIdentity(identity, search->identity);
}

// Called by the host for each child when no path was equal: the first that
// is the clicked file under another name gets what an equal path would.
LRESULT CALLBACK jumpToSameFile(HWND child, LPARAM userValue)
{
    SameFileSearch* search = (SameFileSearch*)userValue;
    const ChildRecord* record = childRecordOf(child);
    if (!record || !mayBeSameFile(search, record->fullPath) || !isSameFile(search, record->fullPath))
        return 1;
    markPlace(child, record, search->place.lineIndex);
    search->place.found = true;
    return 0;
}

// Fills the search from the clicked name: absolute against the current
// folder (the project's), '/' read as '\', "." and ".." resolved, short names
// expanded. False when the name is no existing plain file, which then
// matches no document.
bool prepareSameFileSearch(const char* name, char* fullName, SameFileSearch* search)
{
    DWORD length = GetFullPathNameA(name, MAX_PATH, fullName, nullptr);
    if (length == 0 || length >= MAX_PATH || !isPlainFilePath(fullName))
        return false;
    if (mayBeShortAlias(fullName)) {
        char longName[MAX_PATH];
        length = GetLongPathNameA(fullName, longName, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return false;
        lstrcpyA(fullName, longName);
    }
    DWORD attributes = GetFileAttributesA(fullName);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    int wide = MultiByteToWideChar(CP_ACP, 0, fullName, -1, search->fullName, MAX_PATH);
    if (wide <= 1)
        return false;
    search->fullNameLength = wide - 1;
    // Made absolute, the name has a backslash for every separator.
    int fileName = search->fullNameLength;
    while (fileName > 0 && search->fullName[fileName - 1] != L'\\')
        --fileName;
    search->fileName = search->fullName + fileName;
    search->fileNameLength = search->fullNameLength - fileName;
    search->place.fileName = fullName;
    search->compare = (CompareStringOrdinalProc)systemFunction("kernel32.dll", "CompareStringOrdinal");
    search->state = IDENTITY_NOT_ASKED;
    return true;
}

// What became of one place.
enum PlaceResult {
    PLACE_MARKED,    // an open document got the mark
    PLACE_NOT_OPEN,  // the name is a file, open in no editor
    PLACE_NO_FILE,   // the name is no file: a macro, or a path that is not there
};

// Marks the place in the first open document whose path is the name; when
// there is none, in the first that is the same file under another name.
PlaceResult jumpToPlace(const char* name, int lineIndex)
{
    SourcePlace place = {name, lineIndex, false};
    SendMessageA(hostWindows().mainWindow, HM_ENUM_CHILDREN, (WPARAM)jumpToErrorLine, (LPARAM)&place);
    if (place.found)
        return PLACE_MARKED;
    char fullName[MAX_PATH];
    SameFileSearch search;
    search.place = place;
    if (!prepareSameFileSearch(name, fullName, &search))
        return PLACE_NO_FILE;
    SendMessageA(hostWindows().mainWindow, HM_ENUM_CHILDREN, (WPARAM)jumpToSameFile, (LPARAM)&search);
    return search.place.found ? PLACE_MARKED : PLACE_NOT_OPEN;
}

// The places of one error, tried innermost first until one is open. Names
// found open in no editor are remembered: one stays so during the search,
// and fasm 1 names the same header once for each level of its macros.
struct PlaceSearch {
    char missed[HEADING_BUFFER_SIZE * 2];
    size_t missedLength;  // names, each NUL-terminated, one after the other
    // For the user, when no place is open: the innermost name that is a
    // file, else the outermost name (the file being assembled), as written.
    char notOpen[HEADING_BUFFER_SIZE];
    bool notOpenIsFile;
};

void startPlaceSearch(PlaceSearch* search)
{
    search->missedLength = 0;
    search->notOpen[0] = '\0';
    search->notOpenIsFile = false;
}

bool missedBefore(const PlaceSearch* search, const char* name)
{
    for (size_t at = 0; at < search->missedLength; at += (size_t)lstrlenA(search->missed + at) + 1)
        if (textsEqual(search->missed + at, name))
            return true;
    return false;
}

// The visitor of an error's places: the first open one gets the mark.
bool tryPlace(void* context, const char* name, int32_t lineIndex)
{
    PlaceSearch* search = (PlaceSearch*)context;
    if (missedBefore(search, name))
        return false;
    PlaceResult result = jumpToPlace(name, lineIndex);
    if (result == PLACE_MARKED)
        return true;
    if (!search->notOpenIsFile) {
        lstrcpynA(search->notOpen, name, sizeof search->notOpen);
        search->notOpenIsFile = result == PLACE_NOT_OPEN;
    }
    size_t length = (size_t)lstrlenA(name) + 1;
    if (search->missedLength + length <= sizeof search->missed) {
        CopyMemory(search->missed + search->missedLength, name, length);
        search->missedLength += length;
    }
    return false;
}

// Reads one line of the output control; false when it does not fit.
bool readOutputLine(void* output, int32_t index, char* buffer, size_t size, size_t* length)
{
    HWND control = (HWND)output;
    LONG first = (LONG)SendMessageA(control, EM_LINEINDEX, (WPARAM)index, 0);
    DWORD characters = (DWORD)SendMessageA(control, EM_LINELENGTH, (WPARAM)first, 0);
    if (characters >= size)
        return false;
    TEXTRANGEA range;
    range.chrg.cpMin = first;
    range.chrg.cpMax = first + (LONG)characters;
    range.lpstrText = buffer;
    buffer[0] = '\0';
    LONG got = (LONG)SendMessageA(control, EM_GETTEXTRANGE, 0, (LPARAM)&range);
    if (got < 0 || got > (LONG)characters)
        got = 0;
    buffer[got] = '\0';
    *length = (size_t)got;
    return true;
}

// Whether the status bar shows that a file is not open, which the next
// place reached takes back, and what it showed before.
bool saidNotOpen;
char statusBeforeNotOpen[WORK_BUFFER_SIZE];

// Tells the user which file of the error is open nowhere, when none was.
void reportPlaces(PlaceVisit visit, const PlaceSearch& search)
{
    if (visit == PLACES_NONE_TAKEN && search.notOpen[0]) {
        if (!saidNotOpen)
            statusText(statusBeforeNotOpen);
        char text[LONG_TEXT_SIZE];
        setStatus(formatText(text, sizeof text, TEXT_NOT_OPEN, search.notOpen));
        saidNotOpen = true;
    } else if (visit == PLACE_TAKEN && saidNotOpen) {
        setStatus(statusBeforeNotOpen);
        saidNotOpen = false;
    }
}

// Leads from output line `line` (its text in text, length characters, in a
// buffer of size bytes) to its innermost open place: the line's own places,
// or those of the error whose message it is. PLACES_NONE when it names none.
PlaceVisit leadFromLine(HWND output, int line, char* text, size_t size, size_t length)
{
    PlaceSearch search;
    startPlaceSearch(&search);
    ErrorLinePlace place;
    PlaceVisit visit = PLACES_NONE;
    switch (classifyOutputLine(text, length, &place)) {
    case OUTPUT_LINE_PLACE:
        visit = visitLinePlaces(text, length, tryPlace, &search);
        break;
    case OUTPUT_LINE_ERROR_MESSAGE:
        visit = visitErrorPlaces(line, readOutputLine, output, text, size, tryPlace, &search);
        break;
    default:
        break;
    }
    reportPlaces(visit, search);
    return visit;
}

// Where the walk through the errors stands: the error last gone to, or the
// line last double-clicked; -1 before the first step after a build.
int errorWalkLine = -1;

// The highlight to the error message on `line`, the line into view, and on
// to the error's place.
void goToErrorLine(int line)
{
    HWND output = hostWindows().outputControl;
    SendMessageA(output, HEM_SETLINEHIGHLIGHT, (WPARAM)highlightedOutputLine, 0);
    highlightedOutputLine = line;
    errorWalkLine = line;
    LONG start = (LONG)SendMessageA(output, EM_LINEINDEX, (WPARAM)line, 0);
    CHARRANGE caret = {start, start};
    SendMessageA(output, EM_EXSETSEL, 0, (LPARAM)&caret);
    SendMessageA(output, EM_SCROLLCARET, 0, 0);
    SendMessageA(output, HEM_SETLINEHIGHLIGHT, (WPARAM)line, 1);
    char text[HEADING_BUFFER_SIZE];
    size_t length = 0;
    if (readOutputLine(output, line, text, sizeof text, &length))
        leadFromLine(output, line, text, sizeof text, length);
}

// One step through the error messages of the pane, which counts what it
// shows; "No errors" changes nothing else.
void stepThroughErrors(ErrorDirection direction, bool sayNoErrors = true)
{
    HWND output = hostWindows().outputControl;
    LONG length = outputLength();
    char* text = length > 0 ? (char*)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)length + 1) : nullptr;
    ErrorStep step = {0, 0, 0};
    if (text) {
        LONG got = (LONG)SendMessageA(output, WM_GETTEXT, (WPARAM)length + 1, (LPARAM)text);
        size_t from = errorWalkLine < 0
                          ? NO_POSITION
                          : (size_t)SendMessageA(output, EM_LINEINDEX, (WPARAM)errorWalkLine, 0);
        step = stepToError(text, got > 0 ? (size_t)got : 0, from, direction);
        HeapFree(GetProcessHeap(), 0, text);
    }
    char status[WORK_BUFFER_SIZE];
    if (step.count == 0) {
        if (sayNoErrors)
            setStatus(lookup(TEXT_NO_ERRORS, status));
        return;
    }
    setStatus(
        formatText(status, sizeof status, TEXT_ERROR_N_OF_M, (unsigned)step.ordinal, (unsigned)step.count));
    saidNotOpen = false;
    goToErrorLine((int)SendMessageA(output, EM_EXLINEFROMCHAR, 0, (LPARAM)step.position));
}

}  // namespace

void forgetHighlightedLine()
{
    highlightedOutputLine = 0;
    errorWalkLine = -1;
}

void highlightOutputLine(int line)
{
    highlightedOutputLine = line;
    SendMessageA(hostWindows().outputControl, HEM_SETLINEHIGHLIGHT, (WPARAM)line, 1);
}

LRESULT onOutputDoubleClick()
{
    HWND output = hostWindows().outputControl;
    SendMessageA(output, HEM_SETLINEHIGHLIGHT, (WPARAM)highlightedOutputLine, 0);

    CHARRANGE selection;
    SendMessageA(output, EM_EXGETSEL, 0, (LPARAM)&selection);
    int line = (int)SendMessageA(output, EM_EXLINEFROMCHAR, 0, selection.cpMin);
    // Remembered before any test, so the next double-click clears this line
    // and the next step through the errors starts from it.
    highlightedOutputLine = line;
    errorWalkLine = line;

    // A heading reached from its error message may be longer than a line
    // the user can double-click: a chain of several full paths.
    char text[HEADING_BUFFER_SIZE];
    size_t length = 0;
    if (!readOutputLine(output, line, text, WORK_BUFFER_SIZE, &length))
        return 0;
    if (leadFromLine(output, line, text, sizeof text, length) == PLACES_NONE)
        return 0;
    SendMessageA(output, HEM_SETLINEHIGHLIGHT, (WPARAM)highlightedOutputLine, 1);
    return 1;
}

LRESULT onNextError(UINT)
{
    stepThroughErrors(ERROR_NEXT);
    return 1;
}

LRESULT onPreviousError(UINT)
{
    stepThroughErrors(ERROR_PREVIOUS);
    return 1;
}

void goToFirstError() { stepThroughErrors(ERROR_FIRST, false); }
