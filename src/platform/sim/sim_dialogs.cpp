// The simulated dialog manager: dialogs made from the program's own templates, the first focus,
// what keys and clicks become, and the modal loop that takes the test's scripted answers.
#include "platform/sim/sim_resources.h"
#include "platform/sim/sim_windows.h"

static const WPARAM SC_KEYMENU = 0xF100;
static const DWORD WS_DISABLED = 0x08000000;
static const DWORD DS_NOFAILCREATE = 0x0010;
static const DWORD ERROR_RESOURCE_DATA_NOT_FOUND = 1812;

// The dialog font, MS Sans Serif 8 pt on a 96-dpi screen, has the base units 6 x 13 pixels: a
// dialog unit is a quarter of the average character width and an eighth of its height.
static const int kBaseUnitX = 6;
static const int kBaseUnitY = 13;

// Tags whose addresses serve as handles; only their identity matters.
static char g_programModule;
static char g_dialogFont;

// MulDiv: the product in 64 bits, rounded half away from zero.
static int MulDivRounded(int number, int numerator, int denominator)
{
    long long product = (long long)number * numerator;
    long long half = denominator / 2;
    if (product >= 0)
        return (int)((product + half) / denominator);
    return (int)(-((-product + half) / denominator));
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
    SimResolveWindowClasses();
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

static void SendCommand(SimWindowState* dialog, int id)
{
    SimWindowState* control = FindControl(dialog, id);
    CallProcedure(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                  (LPARAM)(control != NULL ? HandleOf(control) : NULL));
}

// The push button whose text marks letter with '&' ("&&" is a plain ampersand), as the dialog
// manager matches a mnemonic: without regard to case.
static SimWindowState* MnemonicButton(SimWindowState* dialog, char letter)
{
    for (HWND child : dialog->children) {
        SimWindowState* control = WindowState(child);
        if (control == NULL || control->destroyed || !IsPushButton(control))
            continue;
        const std::string& text = control->text;
        for (size_t i = 0; i + 1 < text.size(); ++i) {
            if (text[i] != '&')
                continue;
            if (text[i + 1] != '&' &&
                FoldCase(text.substr(i + 1, 1)) == FoldCase(std::string(1, letter)))
                return control;
            ++i;
        }
    }
    return NULL;
}

// What the dialog manager makes of a key or a click.
static bool Press(SimWindowState* dialog, INT_PTR answer)
{
    if (answer == SimKeyEscape) {
        // Esc becomes the command IDCANCEL, whether or not a Cancel button exists.
        SendCommand(dialog, IDCANCEL);
        return true;
    }
    if (answer == SimKeyEnter) {
        // Enter presses the push button that has the focus, otherwise the default one.
        SimWindowState* focus = WindowState(dialog->focus);
        if (focus != NULL && !focus->destroyed && IsPushButton(focus))
            SendCommand(dialog, focus->id);
        else
            SendCommand(dialog, DefaultButtonId(dialog));
        return true;
    }
    if (answer == SimKeyCloseBox) {
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
    if (answer <= SimKeyAlt('\0') && answer >= SimKeyAlt('\xFF')) {
        // Alt and a mnemonic click its button. A letter that no button marks goes on to the
        // window menu as SC_KEYMENU, which finds no item for it either: nothing happens.
        char letter = (char)(SimKeyAlt('\0') - answer);
        SimWindowState* button = MnemonicButton(dialog, letter);
        if (button != NULL) {
            dialog->focus = HandleOf(button);
            SendCommand(dialog, button->id);
        } else {
            CallProcedure(dialog, WM_SYSCOMMAND, SC_KEYMENU, (unsigned char)letter);
        }
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

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce)
{
    if (picce == NULL || picce->dwSize != sizeof(INITCOMMONCONTROLSEX))
        return SimFail("InitCommonControlsEx", "", ERROR_INVALID_PARAMETER);
    if (picce->dwICC & ICC_PROGRESS_CLASS)
        Machine().ui.commonControlsRegistered = true;
    SimRecordCall("InitCommonControlsEx", "", TRUE);
    return TRUE;
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

LRESULT SendToDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    SimWindowState* window = LiveWindow(dialog);
    if (window == NULL || !IsDialog(window))
        return 0;
    // For the WM_CTLCOLOR* messages, the one use of this helper so far, SendMessage returns the
    // procedure's own result (the brush), not DWLP_MSGRESULT.
    return (LRESULT)CallProcedure(window, message, wParam, lParam);
}

bool PressInDialog(HWND dialog, INT_PTR answer)
{
    SimWindowState* window = LiveWindow(dialog);
    if (window == NULL || !IsDialog(window))
        return false;
    return Press(window, answer);
}
