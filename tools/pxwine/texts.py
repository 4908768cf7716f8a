"""What the uninstaller shows, as the driver's journal writes it.

A prompt is (kind, caption, text, buttons, default button); answered(prompt, answer) adds the answer the
journal records. The buttons' own texts ("&Yes", "OK") are user32's; the rest is the uninstaller's.
"""

CAPTION_BOX = "Plexitone Uninstall"
CAPTION_DIALOG = "Uninstall Plexitone"

CONFIRM = ("box", CAPTION_BOX, "The Plexitone is about to be uninstalled. Proceed?",
           "&Yes|&No", "&No")                                            # MB_YESNO | MB_DEFBUTTON2
COMPLETE = ("box", CAPTION_BOX, "The uninstall is complete", "OK", "OK")  # MB_OK
RESTART = ("box", CAPTION_BOX, "The computer must be rebooted in order\nto complete uninstall. Reboot now?",
           "&Yes|&No", "&Yes")                                           # MB_YESNO: Yes is the default
REBOOT_FAILED = ("box", CAPTION_BOX,
                 "Failed to automatically reboot the system.\nPlease use Start->ShutDown to reboot manually",
                 "OK", "OK")                                             # MB_OK
NO_ADMIN = ("box", CAPTION_BOX,
            "You need to have Administrator privileges\nto remove the Plexitone pipe driver", "OK", "OK")
CORRUPT = ("box", CAPTION_BOX, "The uninstall file is corrupt", "OK", "OK")
# The dialog's statics joined by '|', in the order of its template.
FALLBACK = ("dialog", CAPTION_DIALOG,
            "The Plexitone uninstall cannot start. The program had possibly been already uninstalled."
            "|However the uninstall may attempt to remove the Plexitone pipe driver and/or start menu"
            " group if they are left in the system.",
            "&Go on|Cancel", "&Go on")

# Short names, for pictures and reports.
PROMPTS = {"confirm": CONFIRM, "complete": COMPLETE, "restart": RESTART, "reboot-failed": REBOOT_FAILED,
           "rights": NO_ADMIN, "corrupt": CORRUPT, "fallback": FALLBACK}

# The progress dialog's text before the first entry and in front of each path.
REMOVING = "Removing:"


def answered(prompt, answer):
    return prompt + (answer,)


def prompt_name(prompt):
    """The short name of a journal's prompt (kind, caption, text, ...); "prompt" for one not known."""
    for name, known in PROMPTS.items():
        if tuple(prompt[:3]) == known[:3]:
            return name
    return "prompt"
