// The host IDE's side of the add-in interface: the records it hands over,
// the messages it answers and sends, and the command ids it runs.
#pragma once

#include <windows.h>
#include <stddef.h>

// Requests sent to the host main window.
enum : UINT {
    HM_NEW_COMMAND_ID = 1124,       // result: a fresh command id
    HM_GET_PROJECT_INFO = 1125,     // wParam: ProjectInfo*; result non-zero when a project is open
    HM_ENUM_CHILDREN = 1126,        // wParam: HostEnumProc, lParam: user value
    HM_UI_FILE_WRITTEN = 1127,      // wParam: UI file path
    HM_ENUM_OTHER_CHILDREN = 1129,  // as HM_ENUM_CHILDREN, for the second set of children
};

// Notifications the host passes to FrameWindowProc.
enum : UINT {
    HN_PROJECT_CHANGED = 1131,
    HN_LANGUAGE_COMMAND = 1224,
};
enum : WPARAM {
    HN_LANGUAGE_FIRST = 30101,
    HN_LANGUAGE_LAST = 40000,
};

// Private messages of the host's editor and output controls.
enum : UINT {
    HEM_SETLINEHIGHLIGHT = 2029,  // wParam line, lParam 1 highlight / 0 remove
    HEM_SETLINEMARK = 2031,       // wParam line, lParam mark kind
    HEM_CLEARMARKS = 2033,        // wParam 0, lParam mark kind
};
enum : LPARAM {
    HEM_MARK_ERROR = 7,
};

// Host command ids (WM_COMMAND wParam).
enum : UINT {
    HC_SAVE_ALL = 10003,
    HC_COMPILE_RESOURCES = 10501,
    HC_ASSEMBLE = 10503,
    HC_MENU_BEFORE_ASSEMBLE_CURRENT = 10504,  // "Assemble current" goes before this item
    HC_BUILD = 10505,
    HC_RUN = 10506,
    HC_RUN_ALTERNATE = 10507,
    HC_MENU_BEFORE_POPUP = 10510,  // the add-in's popup goes before this item
    HC_EXPORT_RESOURCE_DEFINITIONS = 11204,
};

// File types in ChildRecord::fileType.
enum : DWORD {
    FILE_TYPE_ASSEMBLY = 1,
    FILE_TYPE_RESOURCE_SCRIPT = 3,
    FILE_TYPE_BATCH = 6,
};

// Callback for HM_ENUM_CHILDREN / HM_ENUM_OTHER_CHILDREN: 1 goes on, 0 stops.
typedef LRESULT(CALLBACK* HostEnumProc)(HWND child, LPARAM userValue);

// The documented layouts are the 32-bit host's: 4-byte fields at the offsets
// below. Each field is one pointer-sized slot, so a 64-bit build of the same
// sources (a test vehicle) finds field N/4 at slot N/4: 32-bit offset N is
// (N / 4) * sizeof(void*) there.
typedef UINT_PTR HostSlot;
#define HOST_SLOT(n) ((n) * sizeof(HostSlot))
#if defined(_WIN64)
#define HOST_LAYOUT(type, field, offset32)                                                                   \
    static_assert(offsetof(type, field) == HOST_SLOT((offset32) / 4), #type " slot of " #field)
#else
#define HOST_LAYOUT(type, field, offset32)                                                                   \
    static_assert(offsetof(type, field) == (offset32), #type " offset of " #field)
#endif

struct HostHandles {
    HWND mainWindow;         // +0
    HostSlot reserved1;      // +4
    HWND mdiClient;          // +8
    HostSlot reserved3[11];  // +12
    HWND outputPane;         // +56 container of the output control
    HWND outputControl;      // +60 rich edit
    HostSlot reserved16[2];  // +64
    HACCEL* acceleratorVar;  // +72 the host's accelerator-table handle variable
    HostSlot reserved19[6];  // +76
    HMENU mainMenu;          // +100
};
HOST_LAYOUT(HostHandles, mainWindow, 0);
HOST_LAYOUT(HostHandles, mdiClient, 8);
HOST_LAYOUT(HostHandles, outputPane, 56);
HOST_LAYOUT(HostHandles, outputControl, 60);
HOST_LAYOUT(HostHandles, acceleratorVar, 72);
HOST_LAYOUT(HostHandles, mainMenu, 100);
static_assert(sizeof(HostHandles) == HOST_SLOT(26), "HostHandles size");

#pragma pack(push, 1)
// One named resource identifier; a list ends at the first record whose name
// is empty. Packed bytes, the same on every target.
struct ResourceDefinition {
    char name[65];  // +0 NUL-terminated within the field
    INT32 id;       // +65
    UINT32 unused;  // +69
};
#pragma pack(pop)
static_assert(offsetof(ResourceDefinition, name) == 0, "ResourceDefinition layout");
static_assert(offsetof(ResourceDefinition, id) == 65, "ResourceDefinition layout");
static_assert(sizeof(ResourceDefinition) == 73, "ResourceDefinition layout");

struct HostResourceLinks {
    HostSlot reserved0[5];                      // +0
    const char** resourceScriptPathVar;         // +20 -> path of the resource script, or null
    const ResourceDefinition** definitionsVar;  // +24 -> first definition
};
HOST_LAYOUT(HostResourceLinks, resourceScriptPathVar, 20);
HOST_LAYOUT(HostResourceLinks, definitionsVar, 24);

// What the window data of an MDI child (index 0) points to. The host stores
// the path inline; it may be longer than MAX_PATH, so the add-in reads it as
// a NUL-terminated text and never copies it into a fixed buffer unchecked.
struct ChildRecord {
    HWND editor;              // +0
    HostSlot reserved1[2];    // +4
    HostSlot fileType;        // +12 FILE_TYPE_*
    char fullPath[MAX_PATH];  // +16
};
HOST_LAYOUT(ChildRecord, editor, 0);
HOST_LAYOUT(ChildRecord, fileType, 12);
HOST_LAYOUT(ChildRecord, fullPath, 16);

// The record behind an MDI child of the host, or null. The window data holds
// a pointer, so it is read at pointer width.
inline const ChildRecord* childRecordOf(HWND child)
{
    return reinterpret_cast<const ChildRecord*>(GetWindowLongPtrA(child, 0));
}

// Filled by HM_GET_PROJECT_INFO: 14 text pointers.
enum {
    PROJECT_FIELD_PROJECT_FILE = 0,
    PROJECT_FIELD_ASSEMBLER_ARGUMENTS = 4,  // appended to the assembler command line
    PROJECT_FIELD_OUTPUT_FILE = 6,          // optional second assembler argument
    PROJECT_FIELD_COUNT = 14,
};
struct ProjectInfo {
    const char* field[PROJECT_FIELD_COUNT];
};
HOST_LAYOUT(ProjectInfo, field[PROJECT_FIELD_ASSEMBLER_ARGUMENTS], 16);
HOST_LAYOUT(ProjectInfo, field[PROJECT_FIELD_OUTPUT_FILE], 24);
static_assert(sizeof(ProjectInfo) == HOST_SLOT(PROJECT_FIELD_COUNT), "ProjectInfo size");

// The add-in's exports, as the host calls them.
typedef LRESULT(WINAPI* KXAddInLoadProc)(HostHandles*, HostResourceLinks*);
typedef void(WINAPI* KXAddInUnloadProc)();
typedef LRESULT(WINAPI* KXAddInConfigProc)(HostHandles*, LPARAM);
typedef LRESULT(WINAPI* GetKXAddInDataProc)(char* name, char* description);
typedef LRESULT(WINAPI* AddInWindowProc)(HWND, UINT, WPARAM, LPARAM);
