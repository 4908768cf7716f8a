// The simulated user interface: dialogs made from the program's own templates, their controls,
// message boxes answered from the test's script, and the little GDI the dialog procedures touch.
#include "platform/sim/sim_internal.h"
#include "platform/sim/sim_resources.h"

#include <stdio.h>

// user32 and gdi32 values that only the simulation needs, with their <windows.h> values.
static const UINT WM_DESTROY = 0x0002;
static const UINT WM_SETTEXT = 0x000C;
static const UINT WM_GETTEXT = 0x000D;
static const UINT WM_GETTEXTLENGTH = 0x000E;
static const UINT WM_SHOWWINDOW = 0x0018;
static const UINT WM_SETFONT = 0x0030;
static const UINT WM_NCDESTROY = 0x0082;
static const UINT WM_SYSCOMMAND = 0x0112;
static const WPARAM SC_CLOSE = 0xF060;
static const UINT PBM_GETPOS = 0x0408;
static const DWORD WS_DISABLED = 0x08000000;
static const DWORD DS_NOFAILCREATE = 0x0010;
static const DWORD BS_TYPEMASK = 0x000F;
static const UINT MB_TYPEMASK = 0x000F;
static const int IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDTRYAGAIN = 10, IDCONTINUE = 11;
static const UINT SWP_NOSIZE = 0x0001, SWP_NOMOVE = 0x0002;
static const UINT SWP_SHOWWINDOW = 0x0040, SWP_HIDEWINDOW = 0x0080;
static const int SM_CYCAPTION = 4, SM_CXDLGFRAME = 7, SM_CYDLGFRAME = 8;
static const COLORREF CLR_INVALID = 0xFFFFFFFF;
static const DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
static const DWORD ERROR_CONTROL_ID_NOT_FOUND = 1421;
static const DWORD ERROR_INVALID_MSGBOX_STYLE = 1438;
static const DWORD ERROR_RESOURCE_DATA_NOT_FOUND = 1812;

// The dialog font, MS Sans Serif 8 pt on a 96-dpi screen, has the base units 6 x 13 pixels: a
// dialog unit is a quarter of the average character width and an eighth of its height.
static const int kBaseUnitX = 6;
static const int kBaseUnitY = 13;
// The frame of a DS_MODALFRAME | WS_CAPTION window in the classic look at 96 dpi: a 3-pixel
// dialog frame on every side (SM_CXDLGFRAME, SM_CYDLGFRAME) and an 18-pixel caption bar
// (SM_CYCAPTION). GetSystemMetrics answers the same numbers.
static const int kDialogFrame = 3;
static const int kCaptionHeight = 18;
static const COLORREF kButtonFaceColour = 0x00C0C0C0;  // COLOR_BTNFACE in the classic scheme
static const int kSystemColourCount = 31;               // COLOR_SCROLLBAR (0) to COLOR_MENUBAR (30)

struct SimBrush {
    int index;
};

// Tags whose addresses serve as handles; only their identity matters.
static char g_programModule;
static char g_dialogFont;
static SimBrush g_systemBrushes[kSystemColourCount];

static HWND HandleOf(SimWindowState* window)
{
    return reinterpret_cast<HWND>(window);
}

SimWindowState* WindowState(HWND hwnd)
{
    if (hwnd == NULL)
        return NULL;
    for (SimWindowState* window : Machine().ui.windows) {
        if (HandleOf(window) == hwnd)
            return window;
    }
    return NULL;
}

// The state of a window that still exists; otherwise NULL and the last error that user32 sets
// for a handle that names no window.
static SimWindowState* LiveWindow(HWND hwnd)
{
    SimWindowState* window = WindowState(hwnd);
    if (window == NULL || window->destroyed) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    return window;
}

static bool IsDialog(const SimWindowState* window)
{
    return window->className == "#32770";
}

// How the calls journal names a window: a dialog by its template, a control by dialog and id.
static std::string WindowName(HWND hwnd)
{
    if (hwnd == NULL)
        return "NULL";
    SimWindowState* window = WindowState(hwnd);
    if (window == NULL)
        return "unknown";
    if (IsDialog(window))
        return window->templateName;
    return WindowName(window->parent) + "#" + std::to_string(window->id);
}

static std::string Hex(unsigned long long value)
{
    char text[24];
    snprintf(text, sizeof text, "0x%llX", value);
    return text;
}

// MulDiv: the product in 64 bits, rounded half away from zero.
static int MulDivRounded(int number, int numerator, int denominator)
{
    long long product = (long long)number * numerator;
    long long half = denominator / 2;
    if (product >= 0)
        return (int)((product + half) / denominator);
    return (int)(-((-product + half) / denominator));
}

static INT_PTR CallProcedure(SimWindowState* dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    dialog->procedureMessages.push_back(message);
    if (dialog->procedure == NULL)
        return FALSE;
    return dialog->procedure(HandleOf(dialog), message, wParam, lParam);
}

static void SetVisible(SimWindowState* window, bool visible)
{
    if (window->visible == visible)
        return;
    window->visible = visible;
    if (IsDialog(window))
        CallProcedure(window, WM_SHOWWINDOW, visible ? TRUE : FALSE, 0);
}

// DestroyWindow's order: the window gets WM_DESTROY before its children go, WM_NCDESTROY last.
static void DestroyWindowState(SimWindowState* window)
{
    if (window->destroyed)
        return;
    window->visible = false;
    if (IsDialog(window))
        CallProcedure(window, WM_DESTROY, 0, 0);
    for (HWND child : window->children) {
        SimWindowState* control = WindowState(child);
        if (control != NULL)
            DestroyWindowState(control);
    }
    if (IsDialog(window))
        CallProcedure(window, WM_NCDESTROY, 0, 0);
    window->destroyed = true;
}

static SimWindowState* FindControl(SimWindowState* dialog, int id)
{
    for (HWND child : dialog->children) {
        SimWindowState* control = WindowState(child);
        if (control != NULL && !control->destroyed && control->id == id)
            return control;
    }
    return NULL;
}

static bool IsProgressBar(const SimWindowState* window)
{
    return FoldCase(window->className) == "msctls_progress32";
}

// The progress bar keeps its position inside its range, as comctl32 does after every change.
static void CoercePosition(SimWindowState* bar)
{
    if (bar->progressPos < bar->progressMin)
        bar->progressPos = bar->progressMin;
    if (bar->progressPos > bar->progressMax)
        bar->progressPos = bar->progressMax;
}

// A message sent to a control: the text messages every window answers, and the progress bar's.
static LRESULT SendToControl(SimWindowState* control, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT) {
        // A NULL text sets an empty one.
        control->text = lParam != 0 ? (const char*)lParam : "";
        control->textHistory.push_back(control->text);
        return TRUE;
    }
    if (message == WM_GETTEXT) {
        if (wParam == 0)
            return 0;
        size_t length = control->text.size();
        if (length > wParam - 1)
            length = wParam - 1;  // cut to the buffer, still NUL-terminated
        memcpy((char*)lParam, control->text.data(), length);
        ((char*)lParam)[length] = '\0';
        return (LRESULT)length;
    }
    if (message == WM_GETTEXTLENGTH)
        return (LRESULT)control->text.size();
    if (!IsProgressBar(control))
        return 0;
    if (message == PBM_SETPOS) {
        int previous = control->progressPos;
        control->progressPos = (int)wParam;
        CoercePosition(control);
        control->positionHistory.push_back(control->progressPos);
        return previous;
    }
    if (message == PBM_SETRANGE) {
        // The range comes as two unsigned 16-bit halves: the minimum low, the maximum high.
        LRESULT previous = MAKELONG(control->progressMin, control->progressMax);
        control->progressMin = LOWORD(lParam);
        control->progressMax = HIWORD(lParam);
        CoercePosition(control);
        return previous;
    }
    if (message == PBM_GETPOS)
        return control->progressPos;
    return 0;
}

// The predefined classes that a template names by ordinal.
static const char* PredefinedClassName(WORD ordinal)
{
    switch (ordinal) {
    case 0x0080: return "Button";
    case 0x0081: return "Edit";
    case 0x0082: return "Static";
    case 0x0083: return "ListBox";
    case 0x0084: return "ScrollBar";
    case 0x0085: return "ComboBox";
    default: return NULL;
    }
}

// user32 registers its own classes at start-up; the progress bar exists only once the common
// controls are initialised.
static bool ClassRegistered(const std::string& className)
{
    std::string folded = FoldCase(className);
    if (folded == "#32770" || folded == "button" || folded == "edit" || folded == "static" ||
        folded == "listbox" || folded == "scrollbar" || folded == "combobox")
        return true;
    return folded == "msctls_progress32" && Machine().ui.commonControlsRegistered;
}

static RECT MapDialogRect(int x, int y, int cx, int cy, LONG originX, LONG originY)
{
    RECT rect;
    rect.left = originX + MulDivRounded(x, kBaseUnitX, 4);
    rect.top = originY + MulDivRounded(y, kBaseUnitY, 8);
    rect.right = rect.left + MulDivRounded(cx, kBaseUnitX, 4);
    rect.bottom = rect.top + MulDivRounded(cy, kBaseUnitY, 8);
    return rect;
}

// The control that gets the focus first: the first visible, enabled tab stop, else the first
// visible, enabled control (Wine's GetNextDlgTabItem, then GetNextDlgGroupItem).
static SimWindowState* FirstFocusControl(SimWindowState* dialog)
{
    SimWindowState* fallback = NULL;
    for (HWND child : dialog->children) {
        SimWindowState* control = WindowState(child);
        if (control == NULL || !control->visible || (control->style & WS_DISABLED))
            continue;
        if (control->style & WS_TABSTOP)
            return control;
        if (fallback == NULL)
            fallback = control;
    }
    return fallback;
}

// CreateDialogIndirectParam as Wine does it: the window hidden, WM_SETFONT, the controls, then
// WM_INITDIALOG. Sets the last error and returns NULL when the dialog cannot be made.
static SimWindowState* CreateDialogFromTemplate(HINSTANCE hInstance, LPCSTR lpTemplateName,
                                                HWND hWndParent, DLGPROC lpDialogFunc,
                                                LPARAM dwInitParam)
{
    // A NULL instance means the program's own module, as for FindResource.
    if (hInstance != NULL && hInstance != SimInstance()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return NULL;
    }
    const SimResourceEntry* resource = SimFindResource(SimResourceDialog, lpTemplateName);
    if (resource == NULL) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return NULL;
    }
    SimDialogTemplate dialogTemplate;
    if (!SimParseDialogTemplate(resource->data.data(), resource->data.size(), &dialogTemplate)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    if (hWndParent != NULL && LiveWindow(hWndParent) == NULL)
        return NULL;
    if (!dialogTemplate.windowClass.text.empty() &&
        !ClassRegistered(dialogTemplate.windowClass.text)) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return NULL;
    }

    SimWindowState* dialog = new SimWindowState();
    Machine().ui.windows.push_back(dialog);
    dialog->className = "#32770";
    dialog->text = dialogTemplate.title;
    // The window manager's own additions (DS_3DLOOK, WS_EX_DLGMODALFRAME) are not simulated:
    // style and exStyle are the template's.
    dialog->style = dialogTemplate.style;
    dialog->exStyle = dialogTemplate.exStyle;
    dialog->parent = hWndParent;
    dialog->procedure = lpDialogFunc;
    dialog->templateName = resource->name.isOrdinal ? "#" + std::to_string(resource->name.ordinal)
                                                    : resource->name.text;

    // The template places the client area; the frame and caption grow the window around it.
    // A top-level dialog is then pushed back inside the screen, as Wine does.
    RECT client = MapDialogRect(dialogTemplate.x, dialogTemplate.y, dialogTemplate.cx,
                                dialogTemplate.cy, 0, 0);
    LONG width = client.right - client.left + 2 * kDialogFrame;
    LONG height = client.bottom - client.top + 2 * kDialogFrame + kCaptionHeight;
    LONG left = client.left - kDialogFrame;
    LONG top = client.top - kDialogFrame - kCaptionHeight;
    const SimUi& ui = Machine().ui;
    if (left + width + kDialogFrame > ui.screenWidth)
        left -= left + width + kDialogFrame - ui.screenWidth;
    if (top + height + kDialogFrame > ui.screenHeight)
        top -= top + height + kDialogFrame - ui.screenHeight;
    if (left < 0)
        left = 0;
    if (top < 0)
        top = 0;
    dialog->rect.left = left;
    dialog->rect.top = top;
    dialog->rect.right = left + width;
    dialog->rect.bottom = top + height;
    LONG clientLeft = left + kDialogFrame;
    LONG clientTop = top + kDialogFrame + kCaptionHeight;

    if (dialogTemplate.hasFont)
        CallProcedure(dialog, WM_SETFONT, (WPARAM)&g_dialogFont, FALSE);

    for (const SimDialogItem& item : dialogTemplate.items) {
        std::string className;
        if (item.windowClass.isOrdinal) {
            const char* predefined = PredefinedClassName(item.windowClass.ordinal);
            className = predefined != NULL ? predefined : "";
        } else {
            className = item.windowClass.text;
        }
        if (!ClassRegistered(className)) {
            // CreateWindowEx fails for the control; the dialog manager then destroys the dialog
            // and fails the creation, unless the template asks to go on without the control.
            if (dialogTemplate.style & DS_NOFAILCREATE)
                continue;
            DestroyWindowState(dialog);
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return NULL;
        }
        SimWindowState* control = new SimWindowState();
        Machine().ui.windows.push_back(control);
        control->className = className;
        control->text = item.title.isOrdinal ? "" : item.title.text;
        control->id = (int)item.id;
        control->style = item.style;
        control->exStyle = item.exStyle;
        control->rect = MapDialogRect(item.x, item.y, item.cx, item.cy, clientLeft, clientTop);
        control->visible = (item.style & WS_VISIBLE) != 0;
        control->parent = HandleOf(dialog);
        dialog->children.push_back(HandleOf(control));
    }

    SimWindowState* focus = FirstFocusControl(dialog);
    HWND focusHandle = focus != NULL ? HandleOf(focus) : NULL;
    // TRUE from WM_INITDIALOG asks the dialog manager to put the focus on wParam's control.
    if (CallProcedure(dialog, WM_INITDIALOG, (WPARAM)focusHandle, dwInitParam))
        dialog->focus = focusHandle;
    // A procedure that destroyed its dialog during WM_INITDIALOG leaves nothing to return.
    if (dialog->destroyed) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    return dialog;
}

// The default push button's id (DM_GETDEFID), or IDOK when the dialog has none.
static int DefaultButtonId(SimWindowState* dialog)
{
    for (HWND child : dialog->children) {
        SimWindowState* control = WindowState(child);
        if (control != NULL && !control->destroyed && FoldCase(control->className) == "button" &&
            (control->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            return control->id;
    }
    return IDOK;
}

static bool IsPushButton(const SimWindowState* control)
{
    DWORD kind = control->style & BS_TYPEMASK;
    return FoldCase(control->className) == "button" &&
           (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON);
}

static void SendCommand(SimWindowState* dialog, int id)
{
    SimWindowState* control = FindControl(dialog, id);
    CallProcedure(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                  (LPARAM)(control != NULL ? HandleOf(control) : NULL));
}

// What the dialog manager makes of a key or a click.
static bool Press(SimWindowState* dialog, INT_PTR answer)
{
    if (answer == -1) {
        // Esc becomes the command IDCANCEL, whether or not a Cancel button exists.
        SendCommand(dialog, IDCANCEL);
        return true;
    }
    if (answer == -2) {
        // Enter presses the push button that has the focus, otherwise the default one.
        SimWindowState* focus = WindowState(dialog->focus);
        if (focus != NULL && !focus->destroyed && IsPushButton(focus))
            SendCommand(dialog, focus->id);
        else
            SendCommand(dialog, DefaultButtonId(dialog));
        return true;
    }
    if (answer == -3) {
        if (!(dialog->style & WS_SYSMENU))
            return false;  // no system menu, no close box
        // The close box is WM_SYSCOMMAND SC_CLOSE, which becomes WM_CLOSE, which the default
        // dialog procedure turns into the command IDCANCEL; each step only if the procedure
        // left the message unhandled.
        if (CallProcedure(dialog, WM_SYSCOMMAND, SC_CLOSE, 0))
            return true;
        if (CallProcedure(dialog, WM_CLOSE, 0, 0))
            return true;
        SendCommand(dialog, IDCANCEL);
        return true;
    }
    if (answer < 0)
        return false;
    // An id that no control has still arrives, as from an accelerator: with no control in lParam.
    SendCommand(dialog, (int)answer);
    return true;
}

static std::string ControlTexts(SimWindowState* dialog)
{
    std::string texts;
    for (HWND child : dialog->children) {
        SimWindowState* control = WindowState(child);
        if (control == NULL || control->destroyed || control->text.empty())
            continue;
        if (!texts.empty())
            texts += " | ";
        texts += control->text;
    }
    return texts;
}

static std::string TemplateArgument(LPCSTR lpTemplateName)
{
    if (((ULONG_PTR)lpTemplateName >> 16) == 0)
        return "#" + std::to_string((ULONG_PTR)lpTemplateName);
    return lpTemplateName;
}

HINSTANCE SimInstance()
{
    return reinterpret_cast<HINSTANCE>(&g_programModule);
}

void ScriptAnswers(const std::vector<INT_PTR>& answers)
{
    Machine().ui.answers = answers;
    Machine().ui.nextAnswer = 0;
}

void WINAPI InitCommonControls(void)
{
    Machine().ui.commonControlsRegistered = true;
    SimRecordCall("InitCommonControls", "", 0);
}

HWND WINAPI CreateDialogParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                               DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
    std::string name = TemplateArgument(lpTemplateName);
    if (SimFaultHit("CreateDialogParamA", name.c_str(), nullptr)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        SimRecordCall("CreateDialogParamA", name, 0);
        return NULL;
    }
    SimWindowState* dialog =
        CreateDialogFromTemplate(hInstance, lpTemplateName, hWndParent, lpDialogFunc, dwInitParam);
    // A modeless dialog shows itself only when its template says WS_VISIBLE.
    if (dialog != NULL && (dialog->style & WS_VISIBLE))
        SetVisible(dialog, true);
    SimRecordCall("CreateDialogParamA", name, dialog != NULL ? 1 : 0);
    return dialog != NULL ? HandleOf(dialog) : NULL;
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                               DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
    std::string name = TemplateArgument(lpTemplateName);
    if (SimFaultHit("DialogBoxParamA", name.c_str(), nullptr)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        SimRecordCall("DialogBoxParamA", name, -1);
        return -1;
    }
    SimWindowState* dialog =
        CreateDialogFromTemplate(hInstance, lpTemplateName, hWndParent, lpDialogFunc, dwInitParam);
    if (dialog == NULL) {
        SimRecordCall("DialogBoxParamA", name, -1);
        return -1;
    }
    SimUi& ui = Machine().ui;
    INT_PTR result = dialog->dialogResult;
    // The modal loop shows the dialog once it is idle, unless WM_INITDIALOG already ended it;
    // a dialog the user never saw leaves no journal row.
    if (!dialog->dialogEnded) {
        SetVisible(dialog, true);
        SimUiEvent event;
        event.kind = "Dialog";
        event.owner = hWndParent;
        event.caption = dialog->text;
        event.text = ControlTexts(dialog);
        ui.journal.push_back(event);
        size_t row = ui.journal.size() - 1;
        for (;;) {
            if (dialog->dialogEnded) {
                result = dialog->dialogResult;
                break;
            }
            if (dialog->destroyed) {
                result = 0;  // the procedure destroyed its own dialog instead of ending it
                break;
            }
            // Out of answers, or an answer the user could not give: the simulation never
            // guesses. DialogBox fails with -1.
            auto standing = ui.answersByText.find(dialog->text);
            if (standing != ui.answersByText.end()) {
                if (!Press(dialog, standing->second)) {
                    ui.unscriptedPrompts++;
                    result = -1;
                    break;
                }
                continue;
            }
            if (ui.nextAnswer >= ui.answers.size() || !Press(dialog, ui.answers[ui.nextAnswer++])) {
                ui.unscriptedPrompts++;
                result = -1;
                break;
            }
        }
        ui.journal[row].answer = result;
    }
    DestroyWindowState(dialog);
    SimRecordCall("DialogBoxParamA", name, result);
    return result;
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult)
{
    std::string name = WindowName(hDlg);
    SimWindowState* dialog = LiveWindow(hDlg);
    if (dialog == NULL || SimFaultHit("EndDialog", "", nullptr)) {
        SimRecordCall("EndDialog", name + ", " + std::to_string((long long)nResult), FALSE);
        return FALSE;
    }
    // EndDialog only marks the dialog and hides it; the modal loop destroys it on its return.
    dialog->dialogEnded = true;
    dialog->dialogResult = nResult;
    dialog->visible = false;
    SimRecordCall("EndDialog", name + ", " + std::to_string((long long)nResult), TRUE);
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow)
{
    std::string argument = WindowName(hWnd) + ", " + std::to_string(nCmdShow);
    SimWindowState* window = LiveWindow(hWnd);
    if (window == NULL) {
        SimRecordCall("ShowWindow", argument, FALSE);
        return FALSE;
    }
    // The result is the earlier visibility, not success.
    BOOL wasVisible = window->visible ? TRUE : FALSE;
    SetVisible(window, nCmdShow != SW_HIDE);
    SimRecordCall("ShowWindow", argument, wasVisible);
    return wasVisible;
}

BOOL WINAPI DestroyWindow(HWND hWnd)
{
    std::string name = WindowName(hWnd);
    SimWindowState* window = LiveWindow(hWnd);
    if (window != NULL && SimFaultHit("DestroyWindow", "", nullptr)) {
        SetLastError(ERROR_ACCESS_DENIED);
        window = NULL;
    }
    if (window == NULL) {
        SimRecordCall("DestroyWindow", name, FALSE);
        return FALSE;
    }
    DestroyWindowState(window);
    SimRecordCall("DestroyWindow", name, TRUE);
    return TRUE;
}

// The results a box of this type can give; empty for a type with no such box.
static std::vector<int> MessageBoxResults(UINT uType)
{
    switch (uType & MB_TYPEMASK) {
    case MB_OK: return {IDOK};  // Esc and the close box give IDOK as well
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case 2: return {IDABORT, IDRETRY, IDIGNORE};       // MB_ABORTRETRYIGNORE
    case 3: return {IDYES, IDNO, IDCANCEL};            // MB_YESNOCANCEL
    case MB_YESNO: return {IDYES, IDNO};
    case 5: return {IDRETRY, IDCANCEL};                // MB_RETRYCANCEL
    case 6: return {IDCANCEL, IDTRYAGAIN, IDCONTINUE}; // MB_CANCELTRYCONTINUE
    default: return {};
    }
}

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    std::string text = lpText != NULL ? lpText : "";
    // A box without a caption is captioned "Error".
    std::string caption = lpCaption != NULL ? lpCaption : "Error";
    std::string argument = text + ", " + caption + ", " + Hex(uType);
    std::vector<int> results = MessageBoxResults(uType);
    if (SimFaultHit("MessageBoxA", text.c_str(), nullptr)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        SimRecordCall("MessageBoxA", argument, 0);
        return 0;
    }
    if (hWnd != NULL && LiveWindow(hWnd) == NULL) {
        SimRecordCall("MessageBoxA", argument, 0);
        return 0;
    }
    if (results.empty()) {
        SetLastError(ERROR_INVALID_MSGBOX_STYLE);
        SimRecordCall("MessageBoxA", argument, 0);
        return 0;
    }
    SimUi& ui = Machine().ui;
    int answer = 0;
    bool answered = false;
    auto standing = ui.answersByText.find(text);
    if (standing != ui.answersByText.end() || ui.nextAnswer < ui.answers.size()) {
        INT_PTR scripted = standing != ui.answersByText.end() ? standing->second
                                                              : ui.answers[ui.nextAnswer++];
        // 0 stands for a box that failed to appear; anything else must be one of its buttons.
        for (int result : results)
            answered = answered || scripted == result;
        answered = answered || scripted == 0;
        if (answered)
            answer = (int)scripted;
    }
    if (!answered)
        ui.unscriptedPrompts++;
    SimUiEvent event;
    event.kind = "MessageBox";
    event.owner = hWnd;
    event.caption = caption;
    event.text = text;
    event.type = uType;
    event.answer = answer;
    event.openStreams = Machine().disk.openStreams;
    ui.journal.push_back(event);
    SimRecordCall("MessageBoxA", argument, answer);
    return answer;
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem)
{
    std::string argument = WindowName(hDlg) + ", " + std::to_string(nIDDlgItem);
    SimWindowState* dialog = LiveWindow(hDlg);
    SimWindowState* control = NULL;
    if (dialog != NULL && !SimFaultHit("GetDlgItem", "", nullptr)) {
        control = FindControl(dialog, nIDDlgItem);
        if (control == NULL)
            SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    }
    SimRecordCall("GetDlgItem", argument, control != NULL ? 1 : 0);
    return control != NULL ? HandleOf(control) : NULL;
}

LRESULT WINAPI SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam,
                                   LPARAM lParam)
{
    std::string argument = WindowName(hDlg) + ", " + std::to_string(nIDDlgItem) + ", " +
                           Hex(Msg) + ", " + std::to_string((unsigned long long)wParam) + ", " +
                           Hex((unsigned long long)(ULONG_PTR)lParam);
    SimWindowState* dialog = LiveWindow(hDlg);
    LRESULT result = 0;
    // A fault loses the message: the control never sees it.
    if (dialog != NULL && !SimFaultHit("SendDlgItemMessageA", "", nullptr)) {
        SimWindowState* control = FindControl(dialog, nIDDlgItem);
        if (control != NULL)
            result = SendToControl(control, Msg, wParam, lParam);
        else
            SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    }
    SimRecordCall("SendDlgItemMessageA", argument, result);
    return result;
}

BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString)
{
    std::string text = lpString != NULL ? lpString : "";
    std::string argument = WindowName(hDlg) + ", " + std::to_string(nIDDlgItem) + ", " + text;
    SimWindowState* dialog = LiveWindow(hDlg);
    BOOL result = FALSE;
    if (dialog != NULL && !SimFaultHit("SetDlgItemTextA", text.c_str(), nullptr)) {
        SimWindowState* control = FindControl(dialog, nIDDlgItem);
        if (control != NULL)
            result = (BOOL)SendToControl(control, WM_SETTEXT, 0, (LPARAM)text.c_str());
        else
            SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    }
    SimRecordCall("SetDlgItemTextA", argument, result);
    return result;
}

DWORD WINAPI GetSysColor(int nIndex)
{
    // The uninstaller asks for the button face only; other colours are not simulated and read
    // as 0, what Windows answers for an index it does not know.
    DWORD colour = nIndex == COLOR_BTNFACE ? kButtonFaceColour : 0;
    SimRecordCall("GetSysColor", std::to_string(nIndex), colour);
    return colour;
}

HBRUSH WINAPI GetSysColorBrush(int nIndex)
{
    HBRUSH brush = NULL;
    // The system's brushes live as long as the system: the same handle for every call.
    if (nIndex >= 0 && nIndex < kSystemColourCount &&
        !SimFaultHit("GetSysColorBrush", "", nullptr)) {
        g_systemBrushes[nIndex].index = nIndex;
        brush = &g_systemBrushes[nIndex];
    }
    SimRecordCall("GetSysColorBrush", std::to_string(nIndex), brush != NULL ? 1 : 0);
    return brush;
}

static SimWindowState* DeviceContextOwner(HDC hdc)
{
    for (SimWindowState* window : Machine().ui.windows) {
        if (!window->destroyed && &window->deviceContext == hdc)
            return window;
    }
    return NULL;
}

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color)
{
    SimWindowState* owner = DeviceContextOwner(hdc);
    COLORREF previous = CLR_INVALID;
    if (owner != NULL && !SimFaultHit("SetBkColor", "", nullptr)) {
        previous = hdc->backgroundColour;
        hdc->backgroundColour = color;
    }
    SimRecordCall("SetBkColor", WindowName(owner != NULL ? HandleOf(owner) : NULL) + ", " +
                  Hex(color), previous);
    return previous;
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect)
{
    std::string name = WindowName(hWnd);
    SimWindowState* window = LiveWindow(hWnd);
    BOOL result = FALSE;
    if (window != NULL && !SimFaultHit("GetWindowRect", "", nullptr)) {
        *lpRect = window->rect;
        result = TRUE;
    }
    SimRecordCall("GetWindowRect", name, result);
    return result;
}

int WINAPI GetSystemMetrics(int nIndex)
{
    const SimUi& ui = Machine().ui;
    int value = 0;  // an index Windows does not know reads as 0
    if (!SimFaultHit("GetSystemMetrics", "", nullptr)) {
        if (nIndex == SM_CXSCREEN)
            value = ui.screenWidth;
        else if (nIndex == SM_CYSCREEN)
            value = ui.screenHeight;
        else if (nIndex == SM_CXDLGFRAME || nIndex == SM_CYDLGFRAME)
            value = kDialogFrame;
        else if (nIndex == SM_CYCAPTION)
            value = kCaptionHeight;
    }
    SimRecordCall("GetSystemMetrics", std::to_string(nIndex), value);
    return value;
}

static void MoveWindowState(SimWindowState* window, LONG dx, LONG dy)
{
    window->rect.left += dx;
    window->rect.right += dx;
    window->rect.top += dy;
    window->rect.bottom += dy;
    for (HWND child : window->children) {
        SimWindowState* control = WindowState(child);
        if (control != NULL)
            MoveWindowState(control, dx, dy);
    }
}

BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy,
                         UINT uFlags)
{
    (void)hWndInsertAfter;  // the Z order is not simulated
    std::string argument = WindowName(hWnd) + ", " + std::to_string(X) + ", " + std::to_string(Y) +
                           ", " + std::to_string(cx) + ", " + std::to_string(cy) + ", " +
                           Hex(uFlags);
    SimWindowState* window = LiveWindow(hWnd);
    if (window == NULL || SimFaultHit("SetWindowPos", "", nullptr)) {
        SimRecordCall("SetWindowPos", argument, FALSE);
        return FALSE;
    }
    if (!(uFlags & SWP_NOMOVE))
        MoveWindowState(window, X - window->rect.left, Y - window->rect.top);
    if (!(uFlags & SWP_NOSIZE)) {
        // A negative size counts as 0.
        window->rect.right = window->rect.left + (cx > 0 ? cx : 0);
        window->rect.bottom = window->rect.top + (cy > 0 ? cy : 0);
    }
    // Showing or hiding through SetWindowPos sends no WM_SHOWWINDOW.
    if (uFlags & SWP_SHOWWINDOW)
        window->visible = true;
    if (uFlags & SWP_HIDEWINDOW)
        window->visible = false;
    SimRecordCall("SetWindowPos", argument, TRUE);
    return TRUE;
}

LRESULT SendToDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    SimWindowState* window = LiveWindow(dialog);
    if (window == NULL || !IsDialog(window))
        return 0;
    // For the WM_CTLCOLOR* messages, the one use of this helper so far, SendMessage returns the
    // procedure's own result (the brush), not DWLP_MSGRESULT.
    return (LRESULT)CallProcedure(window, message, wParam, lParam);
}

HDC SimDeviceContextFor(HWND window)
{
    SimWindowState* state = LiveWindow(window);
    return state != NULL ? &state->deviceContext : NULL;
}

COLORREF SimBackgroundColour(HDC hdc)
{
    return hdc != NULL ? hdc->backgroundColour : CLR_INVALID;
}

bool PressInDialog(HWND dialog, INT_PTR answer)
{
    SimWindowState* window = LiveWindow(dialog);
    if (window == NULL || !IsDialog(window))
        return false;
    return Press(window, answer);
}
