// The simulated user interface's own part: template lookup and class registration, scripted
// answers and the journal, declared faults, geometry and dead handles. A small test procedure
// stands in for the program's own. The messages and results Windows gives are the contract's.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "platform/sim/sim.h"

namespace {

const UINT kWmDestroy = 0x0002;
const UINT kWmShowWindow = 0x0018;
const UINT kWmSetFont = 0x0030;
const UINT kWmNcDestroy = 0x0082;
const UINT kWmSysCommand = 0x0112;
const DWORD kErrorInvalidWindowHandle = 1400;
const DWORD kErrorResourceDataNotFound = 1812;
const COLORREF kClrInvalid = 0xFFFFFFFF;

const char kFallbackTexts[] =
    "The Plexitone uninstall cannot start. The program had possibly been already uninstalled. | "
    "However the uninstall may attempt to remove the Plexitone pipe driver and/or start menu "
    "group if they are left in the system. | &Go on | Cancel";

struct SeenMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// What the test procedure does and what it saw.
struct TestProcedure {
    std::vector<SeenMessage> seen;
    std::set<int> endOn = {IDOK, IDCANCEL};  // command ids that end the dialog with that id
    bool endDuringInit = false;              // EndDialog(42) inside WM_INITDIALOG
};
TestProcedure g_procedure;

INT_PTR CALLBACK TestDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_procedure.seen.push_back({message, wParam, lParam});
    if (message == WM_INITDIALOG) {
        if (g_procedure.endDuringInit)
            EndDialog(hDlg, 42);
        return TRUE;
    }
    if (message == WM_COMMAND && g_procedure.endOn.count(LOWORD(wParam)) != 0) {
        EndDialog(hDlg, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

std::vector<UINT> SeenKinds()
{
    std::vector<UINT> kinds;
    for (const SeenMessage& m : g_procedure.seen)
        kinds.push_back(m.message);
    return kinds;
}

class UiSimTest : public ::testing::Test {
  protected:
    void SetUp() override { Fresh(); }
    static void Fresh()
    {
        ResetMachine(VER_PLATFORM_WIN32_NT);
        g_procedure = TestProcedure();
    }
    static HWND Create(const char* name)
    {
        return CreateDialogParamA(SimInstance(), name, NULL, TestDialogProc, 0);
    }
    static HWND ProgressDialog()
    {
        InitCommonControls();
        return Create("Uninstalling");
    }
};

TEST_F(UiSimTest, CreationFindsTemplateAndNeedsTheProgressBarClass)
{
    char otherModule;
    struct Row {
        const char* name;
        bool initCommonControls;
        HINSTANCE instance;
        const char* templateName;
        bool created;
        DWORD error;  // when not created
    } rows[] = {
        {"progress dialog before InitCommonControls", false, SimInstance(), "Uninstalling", false,
         ERROR_CANNOT_FIND_WND_CLASS},
        {"progress dialog after InitCommonControls", true, SimInstance(), "Uninstalling", true, 0},
        {"fallback dialog needs no common controls", false, SimInstance(), "AfterRun", true, 0},
        {"NULL instance is the program", true, NULL, "uninstalling", true, 0},
        {"another module has none of these", true, (HINSTANCE)&otherModule, "Uninstalling", false,
         kErrorResourceDataNotFound},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Fresh();
        if (row.initCommonControls)
            InitCommonControls();
        SetLastError(0);
        HWND dialog = CreateDialogParamA(row.instance, row.templateName, NULL, TestDialogProc,
                                         0x1234);
        std::vector<UINT> kinds = SeenKinds();
        bool initialised = std::find(kinds.begin(), kinds.end(), WM_INITDIALOG) != kinds.end();
        EXPECT_EQ(initialised, row.created);
        if (row.created) {
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(g_procedure.seen[1].lParam, 0x1234);  // after WM_SETFONT
        } else {
            EXPECT_EQ(dialog, nullptr);
            EXPECT_EQ(GetLastError(), row.error);
        }
    }
}

TEST_F(UiSimTest, FailedControlDestroysTheHalfMadeDialog)
{
    EXPECT_EQ(Create("Uninstalling"), nullptr);
    // The dialog window existed long enough for WM_SETFONT and is destroyed as DestroyWindow
    // would; the procedure never saw WM_INITDIALOG.
    EXPECT_EQ(SeenKinds(), std::vector<UINT>({kWmSetFont, kWmDestroy, kWmNcDestroy}));
    ASSERT_FALSE(Machine().ui.windows.empty());
    EXPECT_TRUE(Machine().ui.windows[0]->destroyed);
}

// Dialog units become pixels with the base units 6 x 13; the template places the client area,
// and the 3-pixel frame and 18-pixel caption surround it.
TEST_F(UiSimTest, RectanglesComeFromDialogUnits)
{
    struct Row {
        const char* name;
        const char* templateName;
        int screenWidth, screenHeight;
        RECT dialog;
        int controlId;
        RECT control;
    } rows[] = {
        {"progress dialog", "Uninstalling", 1024, 768, {54, 31, 405, 135}, 200,
         {87, 93, 375, 113}},
        {"fallback dialog, halves round up", "AfterRun", 1024, 768, {42, 18, 407, 166}, IDCANCEL,
         {242, 127, 341, 148}},
        {"pushed back onto a narrow screen", "Uninstalling", 320, 240, {0, 31, 351, 135}, 200,
         {33, 93, 321, 113}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Fresh();
        Machine().ui.screenWidth = row.screenWidth;
        Machine().ui.screenHeight = row.screenHeight;
        InitCommonControls();
        HWND dialog = Create(row.templateName);
        ASSERT_NE(dialog, nullptr);
        RECT rect;
        ASSERT_TRUE(GetWindowRect(dialog, &rect));
        EXPECT_EQ(rect.left, row.dialog.left);
        EXPECT_EQ(rect.top, row.dialog.top);
        EXPECT_EQ(rect.right, row.dialog.right);
        EXPECT_EQ(rect.bottom, row.dialog.bottom);
        ASSERT_TRUE(GetWindowRect(GetDlgItem(dialog, row.controlId), &rect));
        EXPECT_EQ(rect.left, row.control.left);
        EXPECT_EQ(rect.top, row.control.top);
        EXPECT_EQ(rect.right, row.control.right);
        EXPECT_EQ(rect.bottom, row.control.bottom);
    }
}

TEST_F(UiSimTest, ModalLoopTakesScriptedAnswersUntilTheDialogEnds)
{
    struct Command {
        UINT message;
        WPARAM wParam;
        int controlId;  // the control in lParam of WM_COMMAND; 0 for none
    };
    struct Row {
        const char* name;
        std::vector<INT_PTR> answers;
        std::set<int> endOn;
        INT_PTR result;
        int unscripted;
        size_t answersUsed;
        std::vector<Command> commands;
    } rows[] = {
        {"a click that leaves it open, then Cancel", {1, 2}, {2}, 2, 0, 2,
         {{WM_COMMAND, 1, 1}, {WM_COMMAND, 2, 2}}},
        {"answers run out while it is open", {1}, {2}, -1, 1, 1, {{WM_COMMAND, 1, 1}}},
        {"no answer at all", {}, {1, 2}, -1, 1, 0, {}},
        {"an id no control has comes without a control", {7, 2}, {1, 2}, 2, 0, 2,
         {{WM_COMMAND, 7, 0}, {WM_COMMAND, 2, 2}}},
        {"a code that is no key", {-4}, {1, 2}, -1, 1, 1, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Fresh();
        g_procedure.endOn = row.endOn;
        ScriptAnswers(row.answers);
        INT_PTR result = DialogBoxParamA(SimInstance(), "AfterRun", NULL, TestDialogProc, 0);
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(Machine().ui.unscriptedPrompts, row.unscripted);
        EXPECT_EQ(Machine().ui.nextAnswer, row.answersUsed);

        SimWindowState* dialog = Machine().ui.windows[0];
        std::vector<SeenMessage> commands;
        for (const SeenMessage& m : g_procedure.seen) {
            if (m.message == WM_COMMAND || m.message == kWmSysCommand || m.message == WM_CLOSE)
                commands.push_back(m);
        }
        ASSERT_EQ(commands.size(), row.commands.size());
        for (size_t i = 0; i < commands.size(); i++) {
            EXPECT_EQ(commands[i].message, row.commands[i].message);
            EXPECT_EQ(commands[i].wParam, row.commands[i].wParam);  // BN_CLICKED is 0
            HWND control = NULL;
            for (HWND child : dialog->children) {
                if (WindowState(child)->id == row.commands[i].controlId)
                    control = child;
            }
            EXPECT_EQ((HWND)commands[i].lParam, control);
        }

        ASSERT_EQ(Machine().ui.journal.size(), 1u);
        const SimUiEvent& event = Machine().ui.journal[0];
        EXPECT_EQ(event.kind, "Dialog");
        EXPECT_EQ(event.owner, nullptr);
        EXPECT_EQ(event.caption, "Uninstall Plexitone");
        EXPECT_EQ(event.text, kFallbackTexts);
        EXPECT_EQ(event.answer, row.result);
        // The modal loop destroys its dialog on the way out, whatever the answer.
        EXPECT_TRUE(dialog->destroyed);
        std::vector<UINT> kinds = SeenKinds();
        ASSERT_GE(kinds.size(), 2u);
        EXPECT_EQ(kinds[kinds.size() - 2], kWmDestroy);
        EXPECT_EQ(kinds[kinds.size() - 1], kWmNcDestroy);
    }
}

TEST_F(UiSimTest, DialogEndedInInitDialogIsNeverShownNorAnswered)
{
    g_procedure.endDuringInit = true;
    ScriptAnswers({IDCANCEL});
    EXPECT_EQ(DialogBoxParamA(SimInstance(), "AfterRun", NULL, TestDialogProc, 0), 42);
    EXPECT_TRUE(Machine().ui.journal.empty());
    EXPECT_EQ(Machine().ui.nextAnswer, 0u);
    EXPECT_EQ(Machine().ui.unscriptedPrompts, 0);
    EXPECT_EQ(SeenKinds(), std::vector<UINT>({kWmSetFont, WM_INITDIALOG, kWmDestroy,
                                              kWmNcDestroy}));
}

TEST_F(UiSimTest, MessageBoxTakesOnlyAnswersItsButtonsCanGive)
{
    struct Row {
        const char* name;
        std::vector<INT_PTR> answers;
        UINT type;
        int result;
        int unscripted;
        bool journalled;
        size_t answersUsed;
    } rows[] = {
        {"Yes to a yes/no box", {IDYES}, MB_YESNO | MB_DEFBUTTON2, IDYES, 0, true, 1},
        {"the close box of a yes/no box is greyed: the next answer", {SimKeyCloseBox, IDNO},
         MB_YESNO, IDNO, 0, true, 2},
        {"OK to a yes/no box cannot happen", {IDOK}, MB_YESNO, 0, 1, true, 1},
        {"Cancel to an OK box cannot happen", {IDCANCEL}, MB_OK, 0, 1, true, 1},
        {"OK to a task-modal OK box", {IDOK}, MB_TASKMODAL, IDOK, 0, true, 1},
        {"no answer left", {}, MB_OK, 0, 1, true, 0},
        {"a box scripted to fail", {0}, MB_OK, 0, 0, true, 1},
        {"a type with no such box", {IDOK}, 7, 0, 0, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Fresh();
        ScriptAnswers(row.answers);
        EXPECT_EQ(MessageBoxA(NULL, "Proceed?", "Plexitone Uninstall", row.type), row.result);
        EXPECT_EQ(Machine().ui.unscriptedPrompts, row.unscripted);
        EXPECT_EQ(Machine().ui.nextAnswer, row.answersUsed);
        ASSERT_EQ(Machine().ui.journal.size(), row.journalled ? 1u : 0u);
        if (row.journalled) {
            const SimUiEvent& event = Machine().ui.journal[0];
            EXPECT_EQ(event.kind, "MessageBox");
            EXPECT_EQ(event.owner, nullptr);
            EXPECT_EQ(event.caption, "Plexitone Uninstall");
            EXPECT_EQ(event.text, "Proceed?");
            EXPECT_EQ(event.type, row.type);
            EXPECT_EQ(event.answer, row.result);
        }
    }
}

TEST_F(UiSimTest, MessageBoxOwnerMustBeAlive)
{
    HWND dialog = ProgressDialog();
    ScriptAnswers({IDOK, IDOK});
    EXPECT_EQ(MessageBoxA(dialog, "owned", "Plexitone Uninstall", MB_OK), IDOK);
    ASSERT_EQ(Machine().ui.journal.size(), 1u);
    EXPECT_EQ(Machine().ui.journal[0].owner, dialog);

    DestroyWindow(dialog);
    SetLastError(0);
    EXPECT_EQ(MessageBoxA(dialog, "late", "Plexitone Uninstall", MB_OK), 0);
    EXPECT_EQ(GetLastError(), kErrorInvalidWindowHandle);
    EXPECT_EQ(Machine().ui.journal.size(), 1u);  // nobody saw a box
    EXPECT_EQ(Machine().ui.nextAnswer, 1u);
}

TEST_F(UiSimTest, ProgressRangeReturnsThePreviousOneAndPullsThePositionIn)
{
    HWND dialog = ProgressDialog();
    SendDlgItemMessageA(dialog, 200, PBM_SETPOS, 80, 0);
    EXPECT_EQ(SendDlgItemMessageA(dialog, 200, PBM_SETRANGE, 0, MAKELPARAM(0, 50)),
              MAKELONG(0, 100));
    EXPECT_EQ(WindowState(GetDlgItem(dialog, 200))->progressPos, 50);
    EXPECT_EQ(SendDlgItemMessageA(dialog, 200, PBM_SETRANGE, 0, MAKELPARAM(0, 100)),
              MAKELONG(0, 50));
    // A static control knows no progress messages.
    EXPECT_EQ(SendDlgItemMessageA(dialog, 100, PBM_SETPOS, 30, 0), 0);
    EXPECT_TRUE(WindowState(GetDlgItem(dialog, 100))->positionHistory.empty());
}

TEST_F(UiSimTest, EveryTextSetIsKept)
{
    HWND dialog = ProgressDialog();
    ASSERT_TRUE(SetDlgItemTextA(dialog, 100, "Removing: x"));
    EXPECT_TRUE(SetDlgItemTextA(dialog, 100, NULL));
    EXPECT_EQ(WindowState(GetDlgItem(dialog, 100))->textHistory,
              std::vector<std::string>({"Removing: x", ""}));
}

TEST_F(UiSimTest, ButtonFaceAndADeadWindowsDeviceContext)
{
    // The classic scheme's button face.
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), 0x00C0C0C0u);

    // A dead window's device context takes no colour.
    HWND dialog = ProgressDialog();
    HDC dc = SimDeviceContextFor(dialog);
    ASSERT_NE(dc, nullptr);
    DestroyWindow(dialog);
    EXPECT_EQ(SetBkColor(dc, 0), kClrInvalid);
}

TEST_F(UiSimTest, DeclaredFaultsFailTheDocumentedWay)
{
    struct Row {
        const char* name;
        const char* operation;
        std::function<bool()> failed;
    } rows[] = {
        {"CreateDialogParamA gives NULL", "CreateDialogParamA",
         [] { return ProgressDialog() == NULL && g_procedure.seen.empty(); }},
        {"DialogBoxParamA gives -1", "DialogBoxParamA",
         [] {
             return DialogBoxParamA(SimInstance(), "AfterRun", NULL, TestDialogProc, 0) == -1 &&
                    g_procedure.seen.empty();
         }},
        {"MessageBoxA gives 0", "MessageBoxA",
         [] { return MessageBoxA(NULL, "text", "caption", MB_OK) == 0; }},
        {"SetDlgItemTextA gives FALSE and leaves the text", "SetDlgItemTextA",
         [] {
             HWND dialog = ProgressDialog();
             return !SetDlgItemTextA(dialog, 100, "new") &&
                    WindowState(GetDlgItem(dialog, 100))->text == "Removing:";
         }},
        {"GetWindowRect gives FALSE and leaves the buffer", "GetWindowRect",
         [] {
             RECT rect = {-7, -7, -7, -7};
             return !GetWindowRect(ProgressDialog(), &rect) && rect.left == -7 &&
                    rect.bottom == -7;
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Fresh();
        ScriptAnswers({IDOK});
        FailCall(row.operation);
        EXPECT_TRUE(row.failed());
        // A failed call shows the user nothing and takes no answer.
        EXPECT_TRUE(Machine().ui.journal.empty());
        EXPECT_EQ(Machine().ui.nextAnswer, 0u);
    }
}

TEST_F(UiSimTest, PressInModelessDialogUsesTheSameKeys)
{
    HWND dialog = ProgressDialog();
    g_procedure.endOn.clear();  // like the progress dialog's own procedure: no command ends it
    g_procedure.seen.clear();
    // The progress dialog has no Cancel button: Esc still sends command 2, with no control.
    EXPECT_TRUE(PressInDialog(dialog, SimKeyEscape));
    // No default push button: Enter sends IDOK.
    EXPECT_TRUE(PressInDialog(dialog, SimKeyEnter));
    EXPECT_FALSE(PressInDialog(dialog, -4));  // no such key
    // WS_SYSMENU gives the progress dialog a close box.
    EXPECT_TRUE(PressInDialog(dialog, SimKeyCloseBox));
    ASSERT_EQ(g_procedure.seen.size(), 5u);
    EXPECT_EQ(g_procedure.seen[0].message, WM_COMMAND);
    EXPECT_EQ(g_procedure.seen[0].wParam, (WPARAM)IDCANCEL);
    EXPECT_EQ(g_procedure.seen[0].lParam, 0);
    EXPECT_EQ(g_procedure.seen[1].wParam, (WPARAM)IDOK);
    EXPECT_EQ(g_procedure.seen[2].message, kWmSysCommand);
    EXPECT_EQ(g_procedure.seen[3].message, WM_CLOSE);
    EXPECT_EQ(g_procedure.seen[4].wParam, (WPARAM)IDCANCEL);
    EXPECT_FALSE(WindowState(dialog)->dialogEnded);
    EXPECT_TRUE(WindowState(dialog)->visible);
}

TEST_F(UiSimTest, CallsAreJournalled)
{
    HWND dialog = ProgressDialog();
    SetDlgItemTextA(dialog, 100, "Removing: a");
    SendDlgItemMessageA(dialog, 200, PBM_SETPOS, 33, 0);
    ShowWindow(dialog, SW_HIDE);
    DestroyWindow(dialog);
    std::vector<std::string> expected = {
        "InitCommonControls() = 0",
        "CreateDialogParamA(Uninstalling) = 1",
        "SetDlgItemTextA(UNINSTALLING, 100, Removing: a) = 1",
        "SendDlgItemMessageA(UNINSTALLING, 200, 0x402, 33, 0x0) = 0",
        "ShowWindow(UNINSTALLING, 0) = 1",
        "DestroyWindow(UNINSTALLING) = 1",
    };
    EXPECT_EQ(Machine().calls, expected);
}

}  // namespace
