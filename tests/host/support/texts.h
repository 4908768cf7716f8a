// The uninstaller's texts as the user must read them, written out here on their own so that a
// changed text in the program fails the tests instead of changing them along.
#ifndef TESTS_HOST_SUPPORT_TEXTS_H
#define TESTS_HOST_SUPPORT_TEXTS_H

#include <string>

namespace texts {

const std::string kCaption = "Plexitone Uninstall";
const std::string kConfirm = "The Plexitone is about to be uninstalled. Proceed?";
const std::string kCorrupt = "The uninstall file is corrupt";
const std::string kComplete = "The uninstall is complete";
const std::string kRestart = "The computer must be rebooted in order\nto complete uninstall. Reboot now?";
const std::string kRebootFailed =
    "Failed to automatically reboot the system.\nPlease use Start->ShutDown to reboot manually";
const std::string kNoAdmin =
    "You need to have Administrator privileges\nto remove the Plexitone pipe driver";
const std::string kNoAdminRun = "You need to have Administrator privileges\nto uninstall Plexitone";
const std::string kDialogCaption = "Uninstall Plexitone";
// The fallback dialog's control texts as the UI journal joins them.
const std::string kFallbackTexts =
    "The Plexitone uninstall cannot start. The program had possibly been already uninstalled. | "
    "However the uninstall may attempt to remove the Plexitone pipe driver and/or start menu group "
    "if they are left in the system. | &Go on | Cancel";

// A row of UiRows() for a message box without owner, up to its answer.
inline std::string BoxRow(const std::string& text, const char* type)
{
    return "MessageBox owner=none caption=" + kCaption + " text=" + text + " type=" + type + " answer=";
}

}  // namespace texts

#endif
