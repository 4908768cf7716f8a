// The contract's user32 rows: the two dialog templates run by one recording dialog procedure, the
// keys a user has on the modal one, and the results of the message boxes, in the manner of Wine's
// own message tests: each row compares the messages the procedure saw with the expected list.
#include "contract.h"

// The messages a dialog procedure of the uninstaller acts on or is told about, as the journal
// writes them. Painting and activation messages arrive on their own schedule and are left out;
// the colour messages are rows of their own.
static const struct {
    UINT message;
    const char* name;
} kJournalled[] = {
    {0x0002, "WM_DESTROY"},   {0x0010, "WM_CLOSE"},      {0x0018, "WM_SHOWWINDOW"},
    {0x0030, "WM_SETFONT"},   {0x0082, "WM_NCDESTROY"},  {0x0110, "WM_INITDIALOG"},
    {0x0111, "WM_COMMAND"},   {0x0112, "WM_SYSCOMMAND"},
};

static const UINT kWmGetText = 0x000D;
static const UINT kPbmGetPos = 0x0408;

// What the recording procedure does and what it saw.
static Observation* g_journal;
static int g_endsOnCommand;  // the creation parameter: 1 ends the dialog on commands 1 and 2

// The id of a dialog's control, from its handle: the two templates have few ids.
static void NoteControl(Observation* seen, HWND dialog, HWND control)
{
    static const int kIds[] = {IDOK, IDCANCEL, 100, 200};
    if (control == NULL) {
        NoteMore(seen, ":none");
        return;
    }
    for (int id : kIds) {
        if (GetDlgItem(dialog, id) == control) {
            NoteMore(seen, ":%d", id);
            return;
        }
    }
    NoteMore(seen, ":other");
}

// One procedure for both templates: it records, and answers as the uninstaller's own do.
static INT_PTR CALLBACK RecordingDialogProc(HWND hDlg, UINT message, WPARAM wParam,
                                            LPARAM lParam)
{
    const char* name = NULL;
    for (const auto& journalled : kJournalled) {
        if (journalled.message == message)
            name = journalled.name;
    }
    if (name != NULL && g_journal != NULL) {
        Note(g_journal, "%s", name);
        if (message == WM_INITDIALOG) {
            NoteControl(g_journal, hDlg, (HWND)wParam);
        } else if (message == 0x0018) {
            NoteMore(g_journal, ":%lu", (unsigned long)wParam);
        } else if (message == WM_COMMAND) {
            NoteMore(g_journal, ":%u:%u", (unsigned)LOWORD(wParam), (unsigned)HIWORD(wParam));
            NoteControl(g_journal, hDlg, (HWND)lParam);
        } else if (message == 0x0112) {
            NoteMore(g_journal, ":%lX", (unsigned long)(wParam & 0xFFF0));
        }
    }
    switch (message) {
    case WM_INITDIALOG:
        g_endsOnCommand = (int)lParam;
        return TRUE;
    case WM_COMMAND:
        if (g_endsOnCommand && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
            EndDialog(hDlg, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        SetBkColor((HDC)wParam, GetSysColor(COLOR_BTNFACE));
        return (INT_PTR)GetSysColorBrush(COLOR_BTNFACE);
    }
    return FALSE;
}

// ---- creation, keys and the modal loop ------------------------------------------------------

// row.path: the template; row.other: the presses for the modal dialog ("" for the modeless one).
static void RunDialog(Observation* seen, const ContractRow& row)
{
    Observation journal = {};
    g_journal = &journal;
    InitCommonControls();
    if (*row.other == '\0') {
        HWND dialog =
            CreateDialogParamA(GetModuleHandleA(NULL), row.path, NULL, RecordingDialogProc, 0);
        if (dialog != NULL)
            Note(seen, "created=1");
        else
            Note(seen, "created=0 error=%lu", (unsigned long)GetLastError());
        if (dialog != NULL)
            DestroyWindow(dialog);
    } else {
        ScriptPresses(row.other);
        INT_PTR result =
            DialogBoxParamA(GetModuleHandleA(NULL), row.path, NULL, RecordingDialogProc, 1);
        Note(seen, "result=%ld", (long)result);
    }
    g_journal = NULL;
    Note(seen, "messages=%s", journal.text);
}

// ---- the controls ---------------------------------------------------------------------------

static HWND MakeProgressDialog(void)
{
    InitCommonControls();
    return CreateDialogParamA(GetModuleHandleA(NULL), "Uninstalling", NULL, RecordingDialogProc, 0);
}

// row.other: the text set on control row.number (NULL for "(null)"); the text read back into a
// buffer of 13, 12 and 11 bytes: room to spare, fits exactly, one too few for 11 characters.
static void SetItemText(Observation* seen, const ContractRow& row)
{
    HWND dialog = MakeProgressDialog();
    if (dialog == NULL) {
        Note(seen, "no dialog");
        return;
    }
    Observation journal = {};
    g_journal = &journal;
    const char* text = strcmp(row.other, "(null)") == 0 ? NULL : row.other;
    SetLastError(0);
    BOOL result = SetDlgItemTextA(dialog, row.number, text);
    if (result)
        Note(seen, "result=1");
    else
        Note(seen, "result=0 error=%lu", (unsigned long)GetLastError());
    static const int kCapacities[] = {13, 12, 11};
    for (int capacity : kCapacities) {
        char buffer[16];
        memset(buffer, kContractSentinel, sizeof buffer);
        LRESULT copied = SendDlgItemMessageA(dialog, row.number, kWmGetText, (WPARAM)capacity,
                                             (LPARAM)buffer);
        Note(seen, "read%d=%ld", capacity, (long)copied);
        NoteBytes(seen, "buffer", buffer, (size_t)capacity + 1);
    }
    g_journal = NULL;
    Note(seen, "messages=%s", journal.text);
    DestroyWindow(dialog);
}

// row.other: "min,max" for PBM_SETRANGE before, or ""; then PBM_SETPOS 50 and row.number.
static void SetBarPosition(Observation* seen, const ContractRow& row)
{
    HWND dialog = MakeProgressDialog();
    if (dialog == NULL) {
        Note(seen, "no dialog");
        return;
    }
    Observation journal = {};
    g_journal = &journal;
    unsigned low = 0, high = 0;
    if (sscanf(row.other, "%u,%u", &low, &high) == 2) {
        LRESULT previous =
            SendDlgItemMessageA(dialog, 200, PBM_SETRANGE, 0, MAKELPARAM(low, high));
        Note(seen, "range_was=%u,%u", (unsigned)LOWORD(previous), (unsigned)HIWORD(previous));
    }
    Note(seen, "first=%ld", (long)SendDlgItemMessageA(dialog, 200, PBM_SETPOS, 50, 0));
    Note(seen, "second=%ld",
         (long)SendDlgItemMessageA(dialog, 200, PBM_SETPOS, (WPARAM)row.number, 0));
    Note(seen, "pos=%ld", (long)SendDlgItemMessageA(dialog, 200, kPbmGetPos, 0, 0));
    g_journal = NULL;
    Note(seen, "messages=%s", journal.text);
    DestroyWindow(dialog);
}

// row.number: the colour message sent to the dialog with a device context of its own.
static void SendColourMessage(Observation* seen, const ContractRow& row)
{
    HWND dialog = MakeProgressDialog();
    if (dialog == NULL) {
        Note(seen, "no dialog");
        return;
    }
    HDC context = DeviceContextOf(dialog);
    COLORREF before = SetBkColor(context, 0x00010203);
    LRESULT result = SendToWindow(dialog, (UINT)row.number, (WPARAM)context, (LPARAM)dialog);
    COLORREF after = SetBkColor(context, before);
    Note(seen, "fresh=%06lX", (unsigned long)before);
    Note(seen, "result=%s",
         result == (LRESULT)GetSysColorBrush(COLOR_BTNFACE) ? "face_brush" : "other");
    Note(seen, "background=%s", after == GetSysColor(COLOR_BTNFACE) ? "face" : "other");
    ReleaseDeviceContext(dialog, context);
    DestroyWindow(dialog);
}

// Shown already by its template, then shown, hidden and hidden again: ShowWindow gives the
// earlier visibility, and the procedure hears of each change.
static void ShowAndHide(Observation* seen, const ContractRow&)
{
    HWND dialog = MakeProgressDialog();
    if (dialog == NULL) {
        Note(seen, "no dialog");
        return;
    }
    Observation journal = {};
    g_journal = &journal;
    Note(seen, "show=%d", ShowWindow(dialog, SW_SHOW) ? 1 : 0);
    Note(seen, "hide=%d", ShowWindow(dialog, SW_HIDE) ? 1 : 0);
    Note(seen, "hide_again=%d", ShowWindow(dialog, SW_HIDE) ? 1 : 0);
    g_journal = NULL;
    Note(seen, "messages=%s", journal.text);
    DestroyWindow(dialog);
}

// How a rectangle stands to another: where it went, what size it has.
static void NoteRectangle(Observation* seen, const RECT& before, const RECT& after, LONG x, LONG y,
                          LONG width, LONG height)
{
    LONG w = after.right - after.left, h = after.bottom - after.top;
    if (after.left == x && after.top == y)
        Note(seen, "place=asked");
    else if (after.left == before.left && after.top == before.top)
        Note(seen, "place=kept");
    else
        Note(seen, "place=other");
    if (w == width && h == height)
        Note(seen, "size=asked");
    else if (w == before.right - before.left && h == before.bottom - before.top)
        Note(seen, "size=kept");
    else
        Note(seen, "size=other");
}

// row.number: the flags of SetWindowPos(dialog, NULL, 10, 20, 300, 90, flags); the bar must
// keep its place within the dialog.
static void MoveDialog(Observation* seen, const ContractRow& row)
{
    HWND dialog = MakeProgressDialog();
    if (dialog == NULL) {
        Note(seen, "no dialog");
        return;
    }
    HWND bar = GetDlgItem(dialog, 200);
    RECT before, barBefore, after, barAfter;
    GetWindowRect(dialog, &before);
    GetWindowRect(bar, &barBefore);
    Note(seen, "result=%d", SetWindowPos(dialog, NULL, 10, 20, 300, 90, (UINT)row.number) ? 1 : 0);
    GetWindowRect(dialog, &after);
    GetWindowRect(bar, &barAfter);
    NoteRectangle(seen, before, after, 10, 20, 300, 90);
    bool follows = barAfter.left - after.left == barBefore.left - before.left &&
                   barAfter.top - after.top == barBefore.top - before.top;
    Note(seen, "bar=%s", follows ? "along" : "left_behind");
    DestroyWindow(dialog);
}

// A call's result and the last error it left, which is then cleared for the next call.
static void NoteCall(Observation* seen, const char* name, long result)
{
    Note(seen, "%s=%ld:%lu", name, result, (unsigned long)GetLastError());
    SetLastError(0);
}

// Every call the uninstaller makes on a dialog, once the dialog is destroyed.
static void UseDestroyedDialog(Observation* seen, const ContractRow&)
{
    HWND dialog = MakeProgressDialog();
    if (dialog == NULL) {
        Note(seen, "no dialog");
        return;
    }
    HWND bar = GetDlgItem(dialog, 200);
    Note(seen, "destroy=%d", DestroyWindow(dialog) ? 1 : 0);
    RECT rect;
    SetLastError(0);
    NoteCall(seen, "GetDlgItem", GetDlgItem(dialog, 200) != NULL);
    NoteCall(seen, "SetDlgItemTextA", SetDlgItemTextA(dialog, 100, "x"));
    NoteCall(seen, "SendDlgItemMessageA", (long)SendDlgItemMessageA(dialog, 200, PBM_SETPOS, 5, 0));
    NoteCall(seen, "ShowWindow", ShowWindow(dialog, SW_HIDE));
    NoteCall(seen, "GetWindowRect", GetWindowRect(dialog, &rect));
    NoteCall(seen, "GetWindowRect(bar)", GetWindowRect(bar, &rect));
    NoteCall(seen, "SetWindowPos", SetWindowPos(dialog, NULL, 0, 0, 1, 1, SWP_NOACTIVATE));
    NoteCall(seen, "EndDialog", EndDialog(dialog, 1));
    NoteCall(seen, "DestroyWindow", DestroyWindow(dialog));
}

// The system's brushes: one handle for every call with an index, none past the last colour.
static void AskSystemBrushes(Observation* seen, const ContractRow&)
{
    HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
    Note(seen, "face=%s", face != NULL ? "brush" : "null");
    Note(seen, "again=%s", GetSysColorBrush(COLOR_BTNFACE) == face ? "same" : "other");
    Note(seen, "window_text=%s", GetSysColorBrush(8) == face ? "same" : "other");
    Note(seen, "31=%s", GetSysColorBrush(31) != NULL ? "brush" : "null");
    Note(seen, "minus_1=%s", GetSysColorBrush(-1) != NULL ? "brush" : "null");
}

// ---- message boxes --------------------------------------------------------------------------

// row.number: the box's type; row.other: the presses.
static void RunMessageBox(Observation* seen, const ContractRow& row)
{
    ScriptPresses(row.other);
    Note(seen, "result=%d", MessageBoxA(NULL, "Proceed?", "Plexitone Uninstall", (UINT)row.number));
}

// The manifest's <dpiAware>: the process is DPI-aware from its start, before it makes any window,
// so that its dialogs are laid out at the system's DPI, not drawn at 96 and stretched.
static void AskDpiAwareness(Observation* seen, const ContractRow&)
{
    Note(seen, "aware=%d", IsProcessDPIAware() ? 1 : 0);
}

// ---- the table ------------------------------------------------------------------------------

// Box types: 0 OK, 1 OK/Cancel, 2 Abort/Retry/Ignore, 3 Yes/No/Cancel, 4 Yes/No, 5 Retry/Cancel;
// 0x100 and 0x200 make the second and third button the default.
static const ContractRow kRows[] = {
    // Creation: the font, then WM_INITDIALOG with the first tab stop, then the window shows.
    {"progress dialog is created", NULL, RunDialog, "Uninstalling", "", 0,
     "created=1 messages=WM_SETFONT WM_INITDIALOG:200 WM_SHOWWINDOW:1 WM_DESTROY WM_NCDESTROY",
     NULL},
    {"fallback dialog: Go on clicked", NULL, RunDialog, "AfterRun", "1", 0,
     "result=1 messages=WM_SETFONT WM_INITDIALOG:1 WM_SHOWWINDOW:1 WM_COMMAND:1:0:1 WM_DESTROY "
     "WM_NCDESTROY",
     NULL},
    {"fallback dialog: Cancel clicked", NULL, RunDialog, "AfterRun", "2", 0,
     "result=2 messages=WM_SETFONT WM_INITDIALOG:1 WM_SHOWWINDOW:1 WM_COMMAND:2:0:2 WM_DESTROY "
     "WM_NCDESTROY",
     NULL},
    {"fallback dialog: Esc", NULL, RunDialog, "AfterRun", "esc", 0,
     "result=2 messages=WM_SETFONT WM_INITDIALOG:1 WM_SHOWWINDOW:1 WM_COMMAND:2:0:2 WM_DESTROY "
     "WM_NCDESTROY",
     NULL},
    {"fallback dialog: Enter", NULL, RunDialog, "AfterRun", "enter", 0,
     "result=1 messages=WM_SETFONT WM_INITDIALOG:1 WM_SHOWWINDOW:1 WM_COMMAND:1:0:1 WM_DESTROY "
     "WM_NCDESTROY",
     NULL},
    {"fallback dialog: Alt+G", NULL, RunDialog, "AfterRun", "alt+g", 0,
     "result=1 messages=WM_SETFONT WM_INITDIALOG:1 WM_SHOWWINDOW:1 WM_COMMAND:1:0:1 WM_DESTROY "
     "WM_NCDESTROY",
     NULL},
    {"fallback dialog: Alt and a letter no button marks, then Cancel", NULL, RunDialog,
     "AfterRun", "alt+x,2", 0,
     "result=2 messages=WM_SETFONT WM_INITDIALOG:1 WM_SHOWWINDOW:1 WM_SYSCOMMAND:F100 "
     "WM_COMMAND:2:0:2 WM_DESTROY WM_NCDESTROY",
     NULL},
    {"fallback dialog: close box", NULL, RunDialog, "AfterRun", "close", 0,
     "result=2 messages=WM_SETFONT WM_INITDIALOG:1 WM_SHOWWINDOW:1 WM_SYSCOMMAND:F060 WM_CLOSE "
     "WM_COMMAND:2:0:2 WM_DESTROY WM_NCDESTROY",
     NULL},

    {"unknown template", NULL, RunDialog, "Uninstall", "", 0, "created=0 error=1814 messages=",
     NULL},
    {"ShowWindow gives the earlier visibility", NULL, ShowAndHide, "Uninstalling", "", 0,
     "show=1 hide=1 hide_again=0 messages=WM_SHOWWINDOW:0", NULL},
    // The dialog item calls leave the last error alone; DestroyWindow says access denied.
    {"a destroyed dialog refuses every call", NULL, UseDestroyedDialog, "Uninstalling", "", 0,
     "destroy=1 GetDlgItem=0:0 SetDlgItemTextA=0:0 SendDlgItemMessageA=0:0 ShowWindow=0:1400 "
     "GetWindowRect=0:1400 GetWindowRect(bar)=0:1400 SetWindowPos=0:1400 EndDialog=0:1400 "
     "DestroyWindow=0:5",
     NULL},

    // SWP_NOACTIVATE alone, then with SWP_NOMOVE, then with SWP_NOSIZE.
    {"SetWindowPos moves and sizes", NULL, MoveDialog, "Uninstalling", "", 0x0010,
     "result=1 place=asked size=asked bar=along", NULL},
    {"SetWindowPos without moving", NULL, MoveDialog, "Uninstalling", "", 0x0012,
     "result=1 place=kept size=asked bar=along", NULL},
    {"SetWindowPos without sizing", NULL, MoveDialog, "Uninstalling", "", 0x0011,
     "result=1 place=asked size=kept bar=along", NULL},

    // Control texts: set, then read back whole, exactly, and cut to the buffer with its NUL.
    {"text of a static control", NULL, SetItemText, "Uninstalling", "Removing: x", 100,
     "result=1 read13=11 buffer=Removing: x|## read12=11 buffer=Removing: x|# "
     "read11=10 buffer=Removing: |# messages=",
     NULL},
    {"NULL text empties the control", NULL, SetItemText, "Uninstalling", "(null)", 100,
     "result=1 read13=0 buffer=|############# read12=0 buffer=|############ "
     "read11=0 buffer=|########### messages=",
     NULL},
    {"text of a missing control", NULL, SetItemText, "Uninstalling", "Removing: x", 101,
     "result=0 error=0 read13=0 buffer=############## read12=0 buffer=############# "
     "read11=0 buffer=############ messages=",
     NULL},

    // The progress bar keeps its position inside its range.
    {"bar position inside", NULL, SetBarPosition, "Uninstalling", "", 99,
     "first=0 second=50 pos=99 messages=", NULL},
    {"bar position at the top", NULL, SetBarPosition, "Uninstalling", "", 100,
     "first=0 second=50 pos=100 messages=", NULL},
    {"bar position past the top", NULL, SetBarPosition, "Uninstalling", "", 101,
     "first=0 second=50 pos=100 messages=", NULL},
    {"bar position below the bottom", NULL, SetBarPosition, "Uninstalling", "", -1,
     "first=0 second=50 pos=0 messages=", NULL},
    {"bar range halves are unsigned", NULL, SetBarPosition, "Uninstalling", "10,65535", 70000,
     "range_was=0,100 first=10 second=50 pos=65535 messages=", NULL},
    {"bar position below a raised bottom", NULL, SetBarPosition, "Uninstalling", "10,65535", 5,
     "range_was=0,100 first=10 second=50 pos=10 messages=", NULL},

    // The colour messages reach the procedure and SendMessage hands back its own result.
    {"WM_CTLCOLORBTN", NULL, SendColourMessage, "Uninstalling", "", 0x0135,
     "fresh=FFFFFF result=face_brush background=face", NULL},
    {"WM_CTLCOLORDLG", NULL, SendColourMessage, "Uninstalling", "", 0x0136,
     "fresh=FFFFFF result=face_brush background=face", NULL},
    {"WM_CTLCOLORSTATIC", NULL, SendColourMessage, "Uninstalling", "", 0x0138,
     "fresh=FFFFFF result=face_brush background=face", NULL},

    {"system brushes", NULL, AskSystemBrushes, "", "", 0,
     "face=brush again=same window_text=other 31=null minus_1=null", NULL},
    {"the manifest makes the process DPI-aware", NULL, AskDpiAwareness, "", "", 0, "aware=1", NULL},

    // Message boxes: a click gives the button's id, Enter the default button's, and IDOK when
    // the default named is past the last button. Wine ends every box with IDCANCEL on Esc, and on
    // the close box where the box has Cancel or OK alone; Windows gives IDOK for Esc on an OK box
    // and ignores Esc on a box without Cancel. The uninstaller reads no result of an OK box and
    // takes anything but IDYES as No.
    {"OK box: OK", NULL, RunMessageBox, "", "1", 0, "result=1", NULL},
    {"OK box: Enter", NULL, RunMessageBox, "", "enter", 0, "result=1", NULL},
    {"OK box: Esc", NULL, RunMessageBox, "", "esc", 0, "result=2", NULL},
    {"OK box: close box", NULL, RunMessageBox, "", "close", 0, "result=2", NULL},
    {"OK/Cancel box: Cancel", NULL, RunMessageBox, "", "2", 1, "result=2", NULL},
    {"OK/Cancel box: Enter on the second", NULL, RunMessageBox, "", "enter", 0x101, "result=2",
     NULL},
    {"OK/Cancel box: Esc", NULL, RunMessageBox, "", "esc", 1, "result=2", NULL},
    {"OK/Cancel box: close box", NULL, RunMessageBox, "", "close", 1, "result=2", NULL},
    {"Abort/Retry/Ignore box: Ignore", NULL, RunMessageBox, "", "5", 2, "result=5", NULL},
    {"Abort/Retry/Ignore box: Enter on the third", NULL, RunMessageBox, "", "enter", 0x202,
     "result=5", NULL},
    {"Abort/Retry/Ignore box: Esc", NULL, RunMessageBox, "", "esc", 2, "result=2", NULL},
    {"Yes/No/Cancel box: No", NULL, RunMessageBox, "", "7", 3, "result=7", NULL},
    {"Yes/No/Cancel box: Enter", NULL, RunMessageBox, "", "enter", 3, "result=6", NULL},
    {"Yes/No/Cancel box: Esc", NULL, RunMessageBox, "", "esc", 3, "result=2", NULL},
    {"Yes/No/Cancel box: close box", NULL, RunMessageBox, "", "close", 3, "result=2", NULL},
    {"Yes/No box: Yes", NULL, RunMessageBox, "", "6", 4, "result=6", NULL},
    {"Yes/No box: Enter on the second", NULL, RunMessageBox, "", "enter", 0x104, "result=7", NULL},
    {"Yes/No box: Enter with a third default", NULL, RunMessageBox, "", "enter", 0x204,
     "result=1", NULL},
    {"Yes/No box: Esc", NULL, RunMessageBox, "", "esc", 4, "result=2", NULL},
    {"Yes/No box: close box is no answer, then Yes", NULL, RunMessageBox, "", "close,6", 4,
     "result=6", NULL},
    {"Retry/Cancel box: Retry", NULL, RunMessageBox, "", "4", 5, "result=4", NULL},
    {"Retry/Cancel box: Esc", NULL, RunMessageBox, "", "esc", 5, "result=2", NULL},
};

const ContractRow* WindowRows(size_t* count)
{
    *count = sizeof kRows / sizeof kRows[0];
    return kRows;
}
