// Random installations, random logs over part of them, random answers: whatever a run does,
// everything that neither the log nor the clean-up names is still there, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "run/uninstall_run.h"
#include "support/end_state.h"
#include "support/installation.h"
#include "support/log_builder.h"
#include "support/machine_fixture.h"
#include "support/texts.h"

namespace {

const int kCases = 300;

// A random tree under the install folder, and a few files of the user's beside it.
std::vector<std::string> StageRandomTree(std::mt19937& random)
{
    std::vector<std::string> paths;
    std::vector<std::string> folders = {kInstallFolder};
    int items = 1 + (int)(random() % 25);
    for (int i = 0; i < items; i++) {
        const std::string& parent = folders[random() % folders.size()];
        std::string path = parent + "\\" + (random() % 2 ? "Item" : "item") + std::to_string(i);
        if (random() % 3 == 0) {
            AddFolder(path);
            folders.push_back(path);
        } else {
            AddFile(path, std::string(random() % 40, (char)('a' + random() % 26)));
        }
        paths.push_back(path);
    }
    AddFile("C:\\My Documents\\song.mid", "MThd");
    return paths;
}

TEST(NothingElseRemoved, RandomInstallationsLogsAndAnswers)
{
    std::mt19937 random(42);
    int runs = 0, mainRoad = 0;
    for (int i = 0; i < kCases; i++) {
        SCOPED_TRACE("case " + std::to_string(i));
        DWORD line = random() % 2 ? VER_PLATFORM_WIN32_NT : VER_PLATFORM_WIN32_WINDOWS;
        ResetProcess(line);
        Machine().process.modulePath = std::string(kInstallFolder) + "\\pxunins.exe";
        StageInstallation(1 + random() % 3);
        std::vector<std::string> tree = StageRandomTree(random);

        // A log over part of the tree, in any order, some paths twice, folders as files and
        // files as folders now and then, and names in other case.
        std::vector<std::string> logged;
        LogBuilder log;
        int count = (int)(random() % (tree.size() + 3));
        std::string entries;
        for (int e = 0; e < count; e++) {
            std::string path = tree[random() % tree.size()];
            if (random() % 5 == 0)
                std::transform(path.begin(), path.end(), path.begin(), ::toupper);
            logged.push_back(path);
            entries += LogBuilder().Entry(random() % 2, path).Bytes();
        }
        bool withLog = random() % 4 != 0;
        if (withLog)
            AddFile(std::string(kInstallFolder) + "\\_pxunins.dat", log.Header(count).Text(entries).Bytes());
        else
            DeleteFileA((std::string(kInstallFolder) + "\\_pxunins.dat").c_str());

        const INT_PTR confirm[] = {IDYES, IDNO, 0};
        const INT_PTR restart[] = {IDYES, IDNO, 0};
        SimUi& ui = Machine().ui;
        for (const std::string& text : OwnTexts())
            ui.answersByText[text] = IDOK;
        ui.answersByText[texts::kConfirm] = confirm[random() % 3];
        ui.answersByText[texts::kRestart] = restart[random() % 3];
        ui.answersByText[texts::kDialogCaption] = random() % 2 ? IDOK : IDCANCEL;
        Machine().ui.exitWindowsSucceeds = random() % 2;

        MachineImage before = Image();
        int result = RunUninstaller();
        // A confirmation that failed to appear (0) ends the run with a code of its own.
        bool unasked = false;
        for (const SimUiEvent& event : Machine().ui.journal)
            unasked = unasked || (event.text == texts::kConfirm && event.answer == 0);
        ASSERT_EQ(result, unasked ? kExitQuestionNotShown : 0);
        std::vector<std::string> allowed = logged;
        ASSERT_EQ(Violations(before, line, allowed), std::vector<std::string>{});
        runs++;
        mainRoad += withLog;
    }
    printf("[ property ] %d random runs, %d with a log\n", runs, mainRoad);
}

}  // namespace
