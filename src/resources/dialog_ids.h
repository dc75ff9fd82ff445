// Names and control ids of the program's own dialog. Shared by the resource
// script and the code, so it must stay plain enough for the resource
// compiler.
#ifndef IDE_RESOURCES_DIALOG_IDS_H
#define IDE_RESOURCES_DIALOG_IDS_H

#define IDE_DIALOG_COMPLETE_NAME "DIALOG_COMPLETE"
#define IDC_RESTART_NOW 1025
#define IDC_RESTART_LATER 1026
#define IDC_FINISH 1027

#endif
