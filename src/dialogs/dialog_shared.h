// What both dialogs share: their place on the screen and their colour.
#ifndef DIALOGS_DIALOG_SHARED_H
#define DIALOGS_DIALOG_SHARED_H

#include "platform/platform.h"

// The answer of both dialogs to WM_CTLCOLORBTN, WM_CTLCOLORDLG and WM_CTLCOLORSTATIC: the
// background of the device context in wParam and the brush are the button face colour.
INT_PTR PaintWithButtonFace(WPARAM deviceContext);

// Places a top-level window in the middle of the primary screen, keeping its size.
void CenterWindow(HWND hwnd);

#endif
