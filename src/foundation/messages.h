// Every text the user can read in a message box of the system, and the captions they stand under.
#ifndef FOUNDATION_MESSAGES_H
#define FOUNDATION_MESSAGES_H

// The caption of every message box of the run and of the clean-up.
static const char kMessageCaption[] = "Plexitone Uninstall";

// Asked once the log has been read; No is the default button.
static const char kConfirmMessage[] = "The Plexitone is about to be uninstalled. Proceed?";
// Whatever made the progress dialog fail: nothing has been removed yet.
static const char kCorruptMessage[] = "The uninstall file is corrupt";
static const char kCompleteMessage[] = "The uninstall is complete";
static const char kRestartQuestion[] =
    "The computer must be rebooted in order\nto complete uninstall. Reboot now?";
static const char kRestartFailedMessage[] =
    "Failed to automatically reboot the system.\nPlease use Start->ShutDown to reboot manually";
// Shown on the NT line, before anything else, to a run whose token is not an administrator's.
static const char kAdministratorRunMessage[] =
    "You need to have Administrator privileges\nto uninstall Plexitone";
// The one message of a clean-up step: the driver list refused KEY_ALL_ACCESS.
static const char kAdministratorMessage[] =
    "You need to have Administrator privileges\nto remove the Plexitone pipe driver";

// The fatal report of a broken internal assumption has a caption of its own; its text is
// "File %d\nLine %d", formatted where it is raised.
static const char kInternalErrorCaption[] = "Internal Error";

#endif
