// The progress dialog as the removal sees it: its start, its text, its bar, its place.
#include <gtest/gtest.h>

#include <string>

#include "dialogs/dialog_ids.h"
#include "dialogs/dialog_shared.h"
#include "dialogs/fallback_dialog.h"
#include "dialogs/progress_dialog.h"
#include "foundation/process_state.h"
#include "support/machine_fixture.h"

namespace {

class ProgressDialogTest : public MachineTest {
  protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        InitCommonControls();
        ProgressDialog = CreateDialogParamA(SimInstance(), "Uninstalling", NULL, ProgressDialogProc, 0);
        ASSERT_NE(ProgressDialog, nullptr);
        Machine().calls.clear();
    }
    void TearDown() override
    {
        DestroyWindow(ProgressDialog);
        ProgressDialog = NULL;
        MachineTest::TearDown();
    }
    SimWindowState* Control(int id) { return WindowState(GetDlgItem(ProgressDialog, id)); }
};

TEST_F(ProgressDialogTest, StartsWithRemovingAnEmptyBarAndCentred)
{
    EXPECT_EQ(Control(IDC_REMOVING_TEXT)->text, "Removing:");
    EXPECT_EQ(Control(IDC_PROGRESS_BAR)->progressPos, 0);
    EXPECT_EQ(Control(IDC_PROGRESS_BAR)->progressMin, 0);
    EXPECT_EQ(Control(IDC_PROGRESS_BAR)->progressMax, 100);
    const RECT& rect = WindowState(ProgressDialog)->rect;
    EXPECT_EQ(rect.left, (1024 - (rect.right - rect.left)) / 2);
    EXPECT_EQ(rect.top, (768 - (rect.bottom - rect.top)) / 2);
}

struct ReportRow {
    const char* name;
    double fraction;
    int position;   // where the bar stands afterwards
    bool sent;      // whether a PBM_SETPOS went out
};

TEST_F(ProgressDialogTest, MovesTheBarOnlyWhenItsRoundedPositionChanges)
{
    const ReportRow rows[] = {
        {"0.0 right after creation sends nothing", 0.0, 0, false},
        {"0.004 rounds to 0", 0.004, 0, false},
        {"2/3 rounds to 67", 2.0 / 3.0, 67, true},
        {"the same position again sends nothing", 0.6667, 67, false},
        {"0.125 goes to the even 12", 0.125, 12, true},
        {"0.375 goes to the even 38", 0.375, 38, true},
        {"0.005 goes to the even 0", 0.005, 0, true},
        {"1.0 fills the bar", 1.0, 100, true},
    };
    for (const ReportRow& row : rows) {
        SCOPED_TRACE(row.name);
        Machine().calls.clear();
        ReportProgress("C:\\x", row.fraction);
        EXPECT_EQ(Control(IDC_PROGRESS_BAR)->progressPos, row.position);
        EXPECT_EQ(LastProgressPos, row.position);
        EXPECT_EQ(CallsOf({"SendDlgItemMessageA"}).size(), row.sent ? 1u : 0u);
        // The text is set on every report, changed or not.
        EXPECT_EQ(CallsOf({"SetDlgItemTextA"}).size(), 1u);
    }
}

struct TextRow {
    const char* name;
    const char* reported;
    std::string shown;
};

TEST_F(ProgressDialogTest, ShowsRemovingAndTheNameOrNothing)
{
    const std::string name349(349, 'n');
    const std::string name350(350, 'n');
    const TextRow rows[] = {
        {"a path", "C:\\Apps\\Tool\\run.exe", "Removing: C:\\Apps\\Tool\\run.exe"},
        {"null empties the line", NULL, ""},
        {"349 characters fit the buffer", name349.c_str(), "Removing: " + name349},
        {"350 characters are cut, not overrun", name350.c_str(), "Removing: " + name349},
    };
    for (const TextRow& row : rows) {
        SCOPED_TRACE(row.name);
        ReportProgress(row.reported, 0.5);
        EXPECT_EQ(Control(IDC_REMOVING_TEXT)->text, row.shown);
    }
}

struct ColourRow {
    const char* name;
    const char* templateName;
    DLGPROC procedure;
};

// Both dialogs paint themselves, their buttons and their texts in the button-face colour.
TEST_F(ProgressDialogTest, BothDialogsPaintTheirBackgroundInTheButtonFaceColour)
{
    const ColourRow rows[] = {
        {"progress dialog", "Uninstalling", ProgressDialogProc},
        {"fallback dialog", "AfterRun", FallbackDialogProc},
    };
    for (const ColourRow& row : rows) {
        SCOPED_TRACE(row.name);
        HWND dialog = CreateDialogParamA(SimInstance(), row.templateName, NULL, row.procedure, 0);
        ASSERT_NE(dialog, nullptr);
        const UINT painted[] = {WM_CTLCOLORBTN, WM_CTLCOLORDLG, WM_CTLCOLORSTATIC};
        for (UINT message : painted) {
            SCOPED_TRACE(message);
            HDC dc = SimDeviceContextFor(dialog);
            LRESULT brush = SendToDialog(dialog, message, (WPARAM)dc, 0);
            EXPECT_EQ(brush, (LRESULT)GetSysColorBrush(COLOR_BTNFACE));
            EXPECT_EQ(SimBackgroundColour(dc), GetSysColor(COLOR_BTNFACE));
        }
        const UINT ignored[] = {WM_CTLCOLORMSGBOX, WM_CTLCOLOREDIT, WM_CTLCOLORLISTBOX,
                                WM_CTLCOLORSCROLLBAR};
        for (UINT message : ignored) {
            SCOPED_TRACE(message);
            HDC dc = SimDeviceContextFor(dialog);
            COLORREF before = SimBackgroundColour(dc);
            EXPECT_EQ(SendToDialog(dialog, message, (WPARAM)dc, 0), 0);
            EXPECT_EQ(SimBackgroundColour(dc), before);
        }
        DestroyWindow(dialog);
    }
}

// Esc, Enter and the close box arrive as commands; the progress dialog stays up through them.
TEST_F(ProgressDialogTest, IgnoresCommandsAndTheCloseMessage)
{
    EXPECT_EQ(SendToDialog(ProgressDialog, WM_COMMAND, IDCANCEL, 0), 0);
    EXPECT_EQ(SendToDialog(ProgressDialog, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(WindowState(ProgressDialog)->destroyed);
}

struct CentreRow {
    const char* name;
    int screenWidth, screenHeight;
    int width, height;
    int x, y;
};

TEST_F(ProgressDialogTest, CentresOnTheScreenTruncatingTowardZero)
{
    const CentreRow rows[] = {
        {"even margins", 1024, 768, 400, 100, 312, 334},
        {"odd margins truncate", 1025, 769, 400, 100, 312, 334},
        {"3 pixels wider than the screen", 800, 600, 803, 100, -1, 250},
        {"exactly the screen", 800, 600, 800, 600, 0, 0},
    };
    for (const CentreRow& row : rows) {
        SCOPED_TRACE(row.name);
        Machine().ui.screenWidth = row.screenWidth;
        Machine().ui.screenHeight = row.screenHeight;
        SimWindowState* state = WindowState(ProgressDialog);
        state->rect = {7, 9, 7 + row.width, 9 + row.height};
        CenterWindow(ProgressDialog);
        EXPECT_EQ(state->rect.left, row.x);
        EXPECT_EQ(state->rect.top, row.y);
        EXPECT_EQ(state->rect.right - state->rect.left, row.width);
        EXPECT_EQ(state->rect.bottom - state->rect.top, row.height);
    }
}

}  // namespace
