// The texts of the completion dialog, kept once for the resource script that
// builds the real dialog and for idesetup, which shows the same dialog on a
// terminal. Plain string macros, so the resource compiler can read them.
#ifndef IDE_RESOURCES_DIALOG_TEXTS_H
#define IDE_RESOURCES_DIALOG_TEXTS_H

#define IDE_TEXT_DIALOG_CAPTION " Setup Complete!"
#define IDE_TEXT_RESTART_NOTE \
  "Before you continue to install  driver, you must restart your computer."
#define IDE_TEXT_SAVE_WARNING \
  "Warning: You must save all  working jobs, before press any button!"
#define IDE_TEXT_RESTART_NOW "Yes , I want to restart my computer now."
#define IDE_TEXT_RESTART_LATER "No,   Let system reboot after 30 seconds."
#define IDE_TEXT_FINISH "&Finish"

#endif
