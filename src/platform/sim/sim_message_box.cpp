// The simulated message box: the buttons of each type, and what it makes of the test's scripted
// presses, as Wine's box does.
#include "platform/sim/sim_windows.h"

static const UINT MB_TYPEMASK = 0x000F;
static const UINT MB_DEFMASK = 0x0F00;
static const int IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDTRYAGAIN = 10, IDCONTINUE = 11;
static const DWORD ERROR_INVALID_MSGBOX_STYLE = 1438;

// The buttons of a box of this type, left to right, by the results they give; empty for a type
// with no such box.
static std::vector<int> MessageBoxButtons(UINT uType)
{
    switch (uType & MB_TYPEMASK) {
    case MB_OK: return {IDOK};
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case 2: return {IDABORT, IDRETRY, IDIGNORE};       // MB_ABORTRETRYIGNORE
    case 3: return {IDYES, IDNO, IDCANCEL};            // MB_YESNOCANCEL
    case MB_YESNO: return {IDYES, IDNO};
    case 5: return {IDRETRY, IDCANCEL};                // MB_RETRYCANCEL
    case 6: return {IDCANCEL, IDTRYAGAIN, IDCONTINUE}; // MB_CANCELTRYCONTINUE
    default: return {};
    }
}

enum BoxPress { BoxEnds, BoxIgnores, BoxCannot };

// What a box makes of one scripted press, as Wine's box does: Esc ends every box with IDCANCEL,
// Cancel button or not; the close box ends one with Cancel or OK alone and is greyed on the
// others; Enter gives the default button's result, IDOK when the default named is past the last
// button. 0 stands for a box that failed to appear; a click must hit one of its buttons.
static BoxPress PressInMessageBox(UINT uType, INT_PTR press, int* result)
{
    std::vector<int> buttons = MessageBoxButtons(uType);
    bool hasCancel = false;
    for (int button : buttons)
        hasCancel = hasCancel || button == IDCANCEL;
    if (press == 0 || press == SimKeyEscape) {
        *result = press == 0 ? 0 : IDCANCEL;
        return BoxEnds;
    }
    if (press == SimKeyCloseBox) {
        if (!hasCancel && buttons.size() > 1)
            return BoxIgnores;
        *result = IDCANCEL;
        return BoxEnds;
    }
    if (press == SimKeyEnter) {
        size_t index = (uType & MB_DEFMASK) >> 8;
        *result = index < buttons.size() ? buttons[index] : IDOK;
        return BoxEnds;
    }
    for (int button : buttons) {
        if (press == button) {
            *result = button;
            return BoxEnds;
        }
    }
    return BoxCannot;
}

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    std::string text = lpText != NULL ? lpText : "";
    // A box without a caption is captioned "Error".
    std::string caption = lpCaption != NULL ? lpCaption : "Error";
    std::string argument = text + ", " + caption + ", " + Hex(uType);
    if (SimFaultHit("MessageBoxA", text.c_str(), nullptr)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        SimRecordCall("MessageBoxA", argument, 0);
        return 0;
    }
    if (hWnd != NULL && LiveWindow(hWnd) == NULL) {
        SimRecordCall("MessageBoxA", argument, 0);
        return 0;
    }
    if (MessageBoxButtons(uType).empty()) {
        SetLastError(ERROR_INVALID_MSGBOX_STYLE);
        SimRecordCall("MessageBoxA", argument, 0);
        return 0;
    }
    SimResolveWindowClasses();  // the box's buttons
    SimUi& ui = Machine().ui;
    int answer = 0;
    auto standing = ui.answersByText.find(text);
    for (;;) {
        // Out of answers, or an answer the box cannot take: the simulation never guesses.
        if (standing == ui.answersByText.end() && ui.nextAnswer >= ui.answers.size()) {
            ui.unscriptedPrompts++;
            break;
        }
        INT_PTR press = standing != ui.answersByText.end() ? standing->second
                                                           : ui.answers[ui.nextAnswer++];
        BoxPress outcome = PressInMessageBox(uType, press, &answer);
        if (outcome == BoxEnds)
            break;
        // A standing answer the box ignores would be pressed for ever.
        if (outcome == BoxCannot || standing != ui.answersByText.end()) {
            answer = 0;
            ui.unscriptedPrompts++;
            break;
        }
    }
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
