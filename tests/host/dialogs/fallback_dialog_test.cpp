// The fallback dialog: its two answers by every road a user has to them.
#include <gtest/gtest.h>

#include "dialogs/fallback_dialog.h"
#include "support/machine_fixture.h"

namespace {

struct AnswerRow {
    const char* name;
    std::vector<INT_PTR> presses;  // control ids and SimKeyPress keys
    INT_PTR result;
};

class FallbackDialogTest : public MachineTest {};

TEST_F(FallbackDialogTest, EndsWith1ForGoOnAnd2ForCancel)
{
    const AnswerRow rows[] = {
        {"&Go on", {IDOK}, 1},
        {"Cancel", {IDCANCEL}, 2},
        {"Enter chooses the default &Go on", {SimKeyEnter}, 1},
        {"Esc", {SimKeyEscape}, 2},
        {"close box", {SimKeyCloseBox}, 2},
        {"another id leaves it open", {1234, IDCANCEL}, 2},
    };
    for (const AnswerRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetProcess(VER_PLATFORM_WIN32_NT);
        ScriptAnswers(row.presses);
        EXPECT_EQ(DialogBoxParamA(SimInstance(), "AfterRun", NULL, FallbackDialogProc, 0), row.result);
        EXPECT_EQ(Machine().ui.nextAnswer, row.presses.size());
    }
}

TEST_F(FallbackDialogTest, ACommandEndsItWhateverItsNotificationCode)
{
    InitCommonControls();
    HWND dialog = CreateDialogParamA(SimInstance(), "AfterRun", NULL, FallbackDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(SendToDialog(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0x1234), 0), TRUE);
    EXPECT_TRUE(WindowState(dialog)->dialogEnded);
    EXPECT_EQ(WindowState(dialog)->dialogResult, IDCANCEL);
    DestroyWindow(dialog);
}

TEST_F(FallbackDialogTest, OpensCentred)
{
    ScriptAnswers({IDCANCEL});
    DialogBoxParamA(SimInstance(), "AfterRun", NULL, FallbackDialogProc, 0);
    bool centred = false;
    for (SimWindowState* window : Machine().ui.windows) {
        if (window->templateName != "AFTERRUN" && window->templateName != "AfterRun")
            continue;
        EXPECT_EQ(window->rect.left, (1024 - (window->rect.right - window->rect.left)) / 2);
        EXPECT_EQ(window->rect.top, (768 - (window->rect.bottom - window->rect.top)) / 2);
        centred = true;
    }
    EXPECT_TRUE(centred);
}

}  // namespace
