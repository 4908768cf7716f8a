// Runs a program under Wine, answers its prompts from a script and writes every window it shows to a journal.
//
// Usage: pxdriver --journal FILE [--shots PREFIX] [--cwd DIR] [--timeout SECONDS] [--version NAME]
//                 [--start ansi|wide] [--dpi N] PROGRAM [ANSWER...]
//        pxdriver --desktop hold|probe
//
// An answer is a button's text ("Yes", "&Go on"; the '&' may be left out) or a key: {ENTER}, {ESC},
// {CLOSE} (the close box), {ALT+x}. Each prompt, message box or modal dialog, takes the next answer.
// The progress dialog is only watched: pos is its bar's PBM_GETPOS (-1 while the program pumps no
// messages), fill the part of the bar painted on the screen, in percent.
//
// The journal has one event a line, fields separated by tabs; a tab, a line break or a backslash inside
// a field is written as \t, \n, \r or \\. "killed" replaces "exit" when the driver ended the program.
//
//   start     program  folder  version
//   window    seq  kind  class  caption  x,y,w,h  screenW,screenH  owner
//   shot      seq  file                                        (a BMP of the window as the screen shows it)
//   control   seq  id  class  style  text
//   box       caption  text  buttons  default  answer          (kind "box")
//   dialog    caption  texts  buttons  default  answer         (kind "dialog")
//   progress  text  pos  fill                                  (each change while the dialog lives)
//   unscripted seq  caption  |  unmatched seq  answer  |  timeout seconds  |  unused answer
//   exit      code                                         (or: killed code, launchfailed error)
//   dpi       seq  logpixels  client w,h  font             (with --dpi: each window, the font measured in)
//   fit       seq  id  text w,h  box w,h  inside           (with --dpi: each control with a text)
//
// --dpi N sets the DPI Wine draws at (LogPixels of HKCU\Control Panel\Desktop), runs the driver anew so
// that it starts at that DPI as the program does, takes the setting away when the run has ended, and
// measures every window: "fit" gives the extent the control's text needs in the control's font (DrawText
// with DT_CALCRECT | DT_WORDBREAK in the control's width for a wrapping static, GetTextExtentPoint32 for a
// button or a static that does not wrap), the control's client size, and inside 1 when the control lies
// within its window's client area. The driver is DPI-aware itself then, so that it sees the program's
// windows in the screen's pixels.
//
// --start wide starts the program with CreateProcessW and the wide form of PROGRAM, as the shell does: a
// path with characters outside the ANSI code page then names the program exactly.
//
// Exit code: 0 when the program ran to its end, 2 after a time-out, 3 after a prompt the script could not
// answer, 4 when the program could not be started or the arguments are wrong.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "wine_version.h"
#include "wine_windows.h"

enum WindowKind { KindBox, KindDialog, KindProgress };

static const char *const kKindNames[] = { "box", "dialog", "progress" };

enum { MaxWindows = 64, MaxChildren = 64, TextCapacity = 1024, PollMs = 10 };

// A top-level window of the program, remembered from the poll that first saw it until it is gone.
struct SeenWindow {
    HWND hwnd;
    int kind;
    char lastText[TextCapacity];  // progress dialog: the text of control 100 at the last journal line
    int lastPos;                  // progress dialog: PBM_GETPOS at the last line, -1 when unanswered
    int lastFill;                 // progress dialog: the bar's painted part at the last line, percent
    int seq;                      // the window's number in the journal, from 1
    DWORD firstSeen;              // GetTickCount when the driver first saw it
    int shotTaken;
};

struct ChildInfo {
    HWND hwnd;
    int id;
    char className[64];
    LONG style;
    char text[TextCapacity];
};

struct ChildList {
    ChildInfo items[MaxChildren];
    int count;
};

struct TopLevelList {
    HWND items[MaxWindows];
    int count;
};

static FILE *Journal;
static SeenWindow Seen[MaxWindows];
static int SeenCount;
static HWND ProgressWindow;  // the live progress dialog, to name it as the owner of later prompts
static const char *ShotPrefix;  // NULL: no screenshots
static int WindowSeq;
static int MeasureFit;  // --dpi given: journal what each window's texts need

// Fields may hold any text the program shows; escaping keeps one event on one line.
static void WriteField(const char *text, int last)
{
    for (const char *p = text; *p; ++p) {
        switch (*p) {
        case '\t': fputs("\\t", Journal); break;
        case '\n': fputs("\\n", Journal); break;
        case '\r': fputs("\\r", Journal); break;
        case '\\': fputs("\\\\", Journal); break;
        default: fputc(*p, Journal); break;
        }
    }
    fputc(last ? '\n' : '\t', Journal);
}

// Every line is flushed at once, so a driver that is killed still leaves what it saw.
static void WriteEvent(const char *const *fields, int count)
{
    for (int i = 0; i < count; ++i)
        WriteField(fields[i], i == count - 1);
    fflush(Journal);
}

// InternalGetWindowText reads the text the window manager keeps and sends no message, so it answers even
// while the program's thread is busy deleting files and pumps no messages (WM_GETTEXT would block).
static void ReadWindowText(HWND hwnd, char *buffer, int capacity)
{
    WCHAR wide[TextCapacity];
    int length = InternalGetWindowText(hwnd, wide, sizeof wide / sizeof wide[0]);
    buffer[0] = '\0';
    if (length <= 0)
        return;
    int written = WideCharToMultiByte(CP_ACP, 0, wide, length, buffer, capacity - 1, NULL, NULL);
    buffer[written > 0 ? written : 0] = '\0';
}

static BOOL CALLBACK CollectChild(HWND hwnd, LPARAM param)
{
    ChildList *list = (ChildList *)param;
    // Only direct children: a control's own children (an edit inside a combo box) are not the dialog's.
    if (GetAncestor(hwnd, GA_PARENT) == GetAncestor(hwnd, GA_ROOT) && list->count < MaxChildren) {
        ChildInfo *child = &list->items[list->count++];
        child->hwnd = hwnd;
        child->id = GetDlgCtrlID(hwnd);
        GetClassNameA(hwnd, child->className, sizeof child->className);
        child->style = GetWindowLongA(hwnd, GWL_STYLE);
        ReadWindowText(hwnd, child->text, sizeof child->text);
    }
    return TRUE;
}

static int IsButtonClass(const ChildInfo *child)
{
    return lstrcmpiA(child->className, "Button") == 0;
}

static int IsStaticClass(const ChildInfo *child)
{
    return lstrcmpiA(child->className, "Static") == 0;
}

// The message box of user32 puts its text into a static control with the id 0xFFFF; a dialog template's
// "no identifier" statics carry -1 instead, which tells the two apart.
static int ClassifyWindow(const ChildList *children)
{
    for (int i = 0; i < children->count; ++i)
        if (lstrcmpiA(children->items[i].className, PROGRESS_CLASSA) == 0)
            return KindProgress;
    for (int i = 0; i < children->count; ++i)
        if (IsStaticClass(&children->items[i]) && children->items[i].id == 0xFFFF)
            return KindBox;
    return KindDialog;
}

static void StripAmpersands(const char *text, char *out, int capacity)
{
    int n = 0;
    for (const char *p = text; *p && n < capacity - 1; ++p)
        if (*p != '&')
            out[n++] = *p;
    out[n] = '\0';
}

static void AppendJoined(char *buffer, int capacity, const char *text)
{
    int length = (int)strlen(buffer);
    if (length > 0 && length < capacity - 1)
        buffer[length++] = '|';
    lstrcpynA(buffer + length, text, capacity - length);
}

// Writes a 24-bit bottom-up BMP of a screen rectangle; the harness turns it into a PNG.
static int SaveScreenRect(const char *path, RECT rect)
{
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return 0;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT);
    SelectObject(memory, previous);

    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // positive: rows stored bottom-up, as BMP files keep them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    DWORD stride = ((DWORD)width * 3 + 3) & ~3u;  // every row padded to 4 bytes
    DWORD imageSize = stride * (DWORD)height;
    unsigned char *pixels = (unsigned char *)malloc(imageSize);
    int copied = pixels != NULL && GetDIBits(memory, bitmap, 0, height, pixels, &info, DIB_RGB_COLORS) == height;

    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);

    FILE *file = copied ? fopen(path, "wb") : NULL;
    if (file == NULL) {
        free(pixels);
        return 0;
    }
    unsigned char header[54];
    memset(header, 0, sizeof header);
    DWORD fileSize = sizeof header + imageSize;
    header[0] = 'B';                            // bfType "BM"
    header[1] = 'M';
    memcpy(header + 2, &fileSize, 4);           // bfSize: whole file in bytes
    DWORD offset = sizeof header;
    memcpy(header + 10, &offset, 4);            // bfOffBits: the pixels follow both headers
    memcpy(header + 14, &info.bmiHeader, 40);   // BITMAPINFOHEADER as filled above (little-endian on x86)
    int written = fwrite(header, 1, sizeof header, file) == sizeof header
                  && fwrite(pixels, 1, imageSize, file) == imageSize;
    fclose(file);
    free(pixels);
    return written;
}

static void TakeShot(SeenWindow *seen)
{
    seen->shotTaken = 1;
    if (ShotPrefix == NULL)
        return;
    char path[MAX_PATH + 32];
    snprintf(path, sizeof path, "%s-%d.bmp", ShotPrefix, seen->seq);
    RECT rect;
    if (!GetWindowRect(seen->hwnd, &rect) || !SaveScreenRect(path, rect))
        return;
    char seqText[16];
    snprintf(seqText, sizeof seqText, "%d", seen->seq);
    const char *fields[] = { "shot", seqText, path };
    WriteEvent(fields, 3);
}

// The progress dialog gets no WM_PAINT while the program removes files; it is on the screen only once
// showing it has drawn it, a moment after it became visible.
enum { ProgressShotDelayMs = 100 };

static HWND FindButtonByAnswer(const ChildList *children, const char *answer)
{
    char wanted[TextCapacity];
    char have[TextCapacity];
    StripAmpersands(answer, wanted, sizeof wanted);
    for (int i = 0; i < children->count; ++i) {
        const ChildInfo *child = &children->items[i];
        if (!IsButtonClass(child) || !(child->style & WS_VISIBLE))
            continue;
        StripAmpersands(child->text, have, sizeof have);
        if (strcmp(child->text, answer) == 0 || strcmp(have, wanted) == 0)
            return child->hwnd;
    }
    return NULL;
}

// Keys go to the window that has the keyboard focus in the prompt's thread, as a real key press would, so
// that the dialog manager's IsDialogMessage handles them (Enter: the default button; Esc: IDCANCEL).
static void PostKey(HWND prompt, UINT message, WPARAM key, LPARAM flags)
{
    GUITHREADINFO gui;
    memset(&gui, 0, sizeof gui);
    gui.cbSize = sizeof gui;
    HWND target = prompt;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(prompt, NULL), &gui) && gui.hwndFocus != NULL)
        target = gui.hwndFocus;
    PostMessageA(target, message, key, flags);
}

// Returns 1 when the answer could be given to this prompt.
static int GiveAnswer(HWND prompt, const ChildList *children, const char *answer)
{
    if (strcmp(answer, "{ENTER}") == 0) {
        PostKey(prompt, WM_KEYDOWN, VK_RETURN, 1);
        PostKey(prompt, WM_KEYUP, VK_RETURN, 0xC0000001);
        return 1;
    }
    if (strcmp(answer, "{ESC}") == 0) {
        PostKey(prompt, WM_KEYDOWN, VK_ESCAPE, 1);
        PostKey(prompt, WM_KEYUP, VK_ESCAPE, 0xC0000001);
        return 1;
    }
    if (strcmp(answer, "{CLOSE}") == 0) {
        // What the close box sends; the dialog manager turns it into WM_CLOSE and then IDCANCEL.
        PostMessageA(prompt, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 1;
    }
    if (strncmp(answer, "{ALT+", 5) == 0 && answer[5] != '\0' && strcmp(answer + 6, "}") == 0) {
        // A mnemonic arrives as WM_SYSCHAR; IsDialogMessage looks for the control whose text has "&x".
        PostKey(prompt, WM_SYSCHAR, (WPARAM)(unsigned char)answer[5], 0x20000001);
        return 1;
    }
    HWND button = FindButtonByAnswer(children, answer);
    if (button == NULL)
        return 0;
    // BM_CLICK presses and releases the button as a mouse click does, so the button itself sends
    // BN_CLICKED with its own id; posted, it runs inside the prompt's modal loop.
    PostMessageA(button, BM_CLICK, 0, 0);
    return 1;
}

static void FormatInt(char *buffer, int capacity, long value)
{
    snprintf(buffer, capacity, "%ld", value);
}

static int ReadProgressPos(HWND bar)
{
    DWORD_PTR position = 0;
    // The program pumps no messages while it removes files, so the question times out then and the
    // position is unknown (-1), never a guess. SMTO_ABORTIFHUNG avoids waiting on a thread marked hung.
    if (!SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 5, &position))
        return -1;
    return (int)position;
}

// What the bar shows on the screen, in percent of its inside: the progress bar paints itself at once on
// PBM_SETPOS, so its pixels tell the position even while the program's thread answers no message. The
// bar is drawn in blocks with gaps, so the rightmost highlight pixel marks the end, to a block's width.
static int MeasureBarFill(HWND bar)
{
    RECT client;
    GetClientRect(bar, &client);
    POINT origin = { 0, 0 };
    ClientToScreen(bar, &origin);
    int left = origin.x + 1;  // inside the bar's own one-pixel frame
    int width = client.right - client.left - 2;
    int y = origin.y + (client.bottom - client.top) / 2;
    if (width <= 0)
        return -1;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP strip = CreateCompatibleBitmap(screen, width, 1);
    HGDIOBJ previous = SelectObject(memory, strip);
    BitBlt(memory, 0, 0, width, 1, screen, left, y, SRCCOPY);
    SelectObject(memory, previous);
    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = 1;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    DWORD *pixels = (DWORD *)malloc((size_t)width * sizeof(DWORD));
    int fill = -1;
    if (pixels != NULL && GetDIBits(memory, strip, 0, 1, pixels, &info, DIB_RGB_COLORS) == 1) {
        COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
        // A 32-bit DIB holds blue, green, red from the low byte up; COLORREF holds red lowest.
        DWORD wanted = ((DWORD)GetRValue(highlight) << 16) | ((DWORD)GetGValue(highlight) << 8) | GetBValue(highlight);
        int rightmost = -1;
        for (int x = 0; x < width; ++x)
            if ((pixels[x] & 0xFFFFFF) == wanted)
                rightmost = x;
        fill = (rightmost + 1) * 100 / width;
    }
    free(pixels);
    DeleteObject(strip);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return fill;
}

// Returns 1 when the text or the position changed since the last line.
static int PollProgress(SeenWindow *seen)
{
    HWND bar = GetDlgItem(seen->hwnd, 200);
    // The bar is read before the text: the program sets the text of an entry first and the bar after
    // it, so the bar seen here never runs ahead of the entry named by the text read next.
    int position = bar != NULL ? ReadProgressPos(bar) : -1;
    int fill = bar != NULL ? MeasureBarFill(bar) : -1;
    char text[TextCapacity];
    HWND label = GetDlgItem(seen->hwnd, 100);
    if (label == NULL)
        lstrcpynA(text, "", sizeof text);
    else
        ReadWindowText(label, text, sizeof text);
    if (strcmp(text, seen->lastText) == 0 && position == seen->lastPos && fill == seen->lastFill)
        return 0;
    lstrcpynA(seen->lastText, text, sizeof seen->lastText);
    seen->lastPos = position;
    seen->lastFill = fill;
    char positionText[16];
    char fillText[16];
    FormatInt(positionText, sizeof positionText, position);
    FormatInt(fillText, sizeof fillText, fill);
    const char *fields[] = { "progress", text, positionText, fillText };
    WriteEvent(fields, 4);
    return 1;
}

// A modal prompt answers WM_NULL only once its modal loop runs, that is after WM_INITDIALOG has placed it.
static void WaitUntilPumping(HWND hwnd)
{
    DWORD_PTR ignored = 0;
    for (int attempt = 0; attempt < 50 && IsWindow(hwnd); ++attempt)
        if (SendMessageTimeoutA(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 100, &ignored))
            return;
}

// The font a window's controls are drawn in. Wine answers no WM_GETFONT from another process (error 1400),
// so the driver makes the same font itself, as the program got it at the same DPI: a dialog's from the
// font its template names (read from the program's own resources, matched by caption), as the dialog
// manager makes it (CreateFont with the point size at the screen's LOGPIXELSY, DEFAULT_CHARSET); a message
// box's, and a window without such a template, from the message font of SPI_GETNONCLIENTMETRICS, as
// user32's MessageBox takes it.
static const char *ProgramPath;

struct TemplateSearch {
    const char *caption;
    LOGFONTW font;
    int found;
};

static const WORD *SkipNameOrOrdinal(const WORD *p)
{
    if (*p == 0xFFFF)
        return p + 2;
    while (*p != 0)
        ++p;
    return p + 1;
}

static BOOL CALLBACK MatchTemplate(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR param)
{
    TemplateSearch *search = (TemplateSearch *)param;
    HRSRC resource = FindResourceA(module, name, type);
    const WORD *words = resource != NULL ? (const WORD *)LockResource(LoadResource(module, resource)) : NULL;
    // DLGTEMPLATEEX only: dlgVer 1, signature 0xFFFF; style at byte 12; the menu after 26 bytes.
    if (words == NULL || words[0] != 1 || words[1] != 0xFFFF)
        return TRUE;
    DWORD style = words[6] | (DWORD)words[7] << 16;
    const WORD *p = SkipNameOrOrdinal(SkipNameOrOrdinal(words + 13));  // menu, window class
    char caption[TextCapacity];
    WideCharToMultiByte(CP_ACP, 0, (LPCWSTR)p, -1, caption, sizeof caption, NULL, NULL);
    while (*p != 0)
        ++p;
    ++p;
    if (!(style & DS_SETFONT) || strcmp(caption, search->caption) != 0)
        return TRUE;
    HDC screen = GetDC(NULL);
    search->font.lfHeight = -MulDiv(p[0], GetDeviceCaps(screen, LOGPIXELSY), 72);  // pointsize
    ReleaseDC(NULL, screen);
    search->font.lfWeight = p[1];
    search->font.lfItalic = (BYTE)(p[2] & 0xFF);
    search->font.lfCharSet = DEFAULT_CHARSET;
    search->font.lfQuality = PROOF_QUALITY;
    lstrcpynW(search->font.lfFaceName, (LPCWSTR)(p + 3), LF_FACESIZE);
    search->found = 1;
    return FALSE;
}

static HFONT MakeWindowFont(const char *caption, int kind, char *named, int capacity)
{
    TemplateSearch search;
    memset(&search, 0, sizeof search);
    search.caption = caption;
    if (kind != KindBox) {
        HMODULE module = LoadLibraryExA(ProgramPath, NULL, LOAD_LIBRARY_AS_DATAFILE);
        if (module != NULL) {
            EnumResourceNamesA(module, RT_DIALOG, MatchTemplate, (LONG_PTR)&search);
            FreeLibrary(module);
        }
    }
    if (!search.found) {
        NONCLIENTMETRICSW metrics;
        memset(&metrics, 0, sizeof metrics);
        metrics.cbSize = sizeof metrics;
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
        search.font = metrics.lfMessageFont;
    }
    char face[LF_FACESIZE * 2];
    WideCharToMultiByte(CP_ACP, 0, search.font.lfFaceName, -1, face, sizeof face, NULL, NULL);
    snprintf(named, capacity, "%s %s,%ld", search.found ? "template" : "message", face, (long)search.font.lfHeight);
    return CreateFontIndirectW(&search.font);
}

static void MeasureControl(HWND window, const char *seqText, const ChildInfo *child, HFONT font)
{
    LONG type = child->style & SS_TYPEMASK;
    int isStatic = IsStaticClass(child);
    int isButton = IsButtonClass(child);
    if (child->text[0] == '\0' || !(isStatic || isButton) || (isStatic && type > SS_RIGHT && type != SS_SIMPLE
                                                                && type != SS_LEFTNOWORDWRAP))
        return;
    RECT client;
    GetClientRect(child->hwnd, &client);
    RECT box;
    GetWindowRect(child->hwnd, &box);
    MapWindowPoints(NULL, window, (POINT *)&box, 2);
    RECT windowClient;
    GetClientRect(window, &windowClient);
    int inside = box.left >= 0 && box.top >= 0 && box.right <= windowClient.right && box.bottom <= windowClient.bottom;

    HDC dc = GetDC(child->hwnd);
    HGDIOBJ previous = font != NULL ? SelectObject(dc, font) : NULL;
    RECT need = { 0, 0, client.right, 0 };
    if (isStatic && type <= SS_RIGHT) {
        // How the static control lays out its text: wrapped at its width, tabs expanded, & a prefix.
        UINT format = DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | (child->style & SS_NOPREFIX ? DT_NOPREFIX : 0);
        DrawTextA(dc, child->text, -1, &need, format);
    } else {
        char shown[TextCapacity];
        if (isButton)
            StripAmpersands(child->text, shown, sizeof shown);
        else
            lstrcpynA(shown, child->text, sizeof shown);
        SIZE extent = { 0, 0 };
        GetTextExtentPoint32A(dc, shown, lstrlenA(shown), &extent);
        need.right = extent.cx;
        need.bottom = extent.cy;
    }
    if (previous != NULL)
        SelectObject(dc, previous);
    ReleaseDC(child->hwnd, dc);

    char idText[16];
    char needText[32];
    char haveText[32];
    FormatInt(idText, sizeof idText, child->id);
    snprintf(needText, sizeof needText, "%ld,%ld", (long)need.right, (long)need.bottom);
    snprintf(haveText, sizeof haveText, "%ld,%ld", (long)client.right, (long)client.bottom);
    const char *fields[] = { "fit", seqText, idText, needText, haveText, inside ? "1" : "0" };
    WriteEvent(fields, 6);
}

static void MeasureWindow(HWND window, int kind, const char *caption, const char *seqText,
                          const ChildList *children)
{
    HDC screen = GetDC(NULL);
    int logPixels = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(NULL, screen);
    char named[LF_FACESIZE * 2 + 32];
    HFONT font = MakeWindowFont(caption, kind, named, sizeof named);
    RECT client;
    GetClientRect(window, &client);
    char dpiText[16];
    char clientText[32];
    FormatInt(dpiText, sizeof dpiText, logPixels);
    snprintf(clientText, sizeof clientText, "%ld,%ld", (long)client.right, (long)client.bottom);
    const char *fields[] = { "dpi", seqText, dpiText, clientText, named };
    WriteEvent(fields, 5);
    for (int i = 0; i < children->count; ++i)
        if (children->items[i].style & WS_VISIBLE)
            MeasureControl(window, seqText, &children->items[i], font);
    DeleteObject(font);
}

struct Script {
    char **answers;
    int count;
    int next;
};

static const int NotAPromptYet = -1;

// Returns 0 to go on, NotAPromptYet, or the driver's exit code when the run must stop.
static int HandleNewWindow(HWND hwnd, Script *script)
{
    ChildList *children = (ChildList *)calloc(1, sizeof(ChildList));
    if (children == NULL)
        return 4;
    EnumChildWindows(hwnd, CollectChild, (LPARAM)children);
    int kind = ClassifyWindow(children);
    if (kind != KindProgress) {
        WaitUntilPumping(hwnd);
        // Re-read: the controls' texts and styles are final once the modal loop runs.
        children->count = 0;
        EnumChildWindows(hwnd, CollectChild, (LPARAM)children);
        kind = ClassifyWindow(children);
        // A window without a single control is no prompt, or not one yet (a loaded machine can show one
        // between its creation and its controls'): it is looked at again on the next round.
        if (children->count == 0) {
            free(children);
            return NotAPromptYet;
        }
        // Let the prompt paint itself before the picture is taken.
        Sleep(150);
    }

    SeenWindow *seen = &Seen[SeenCount++];
    memset(seen, 0, sizeof *seen);
    seen->hwnd = hwnd;
    seen->kind = kind;
    seen->lastPos = -2;  // no line yet: the first poll always writes one
    seen->lastFill = -2;
    if (kind == KindProgress)
        ProgressWindow = hwnd;

    int seq = ++WindowSeq;
    seen->seq = seq;
    seen->firstSeen = GetTickCount();
    char caption[TextCapacity];
    char className[64];
    ReadWindowText(hwnd, caption, sizeof caption);
    GetClassNameA(hwnd, className, sizeof className);
    RECT rect;
    GetWindowRect(hwnd, &rect);
    char rectText[64];
    snprintf(rectText, sizeof rectText, "%ld,%ld,%ld,%ld", (long)rect.left, (long)rect.top,
             (long)(rect.right - rect.left), (long)(rect.bottom - rect.top));
    char screenText[32];
    snprintf(screenText, sizeof screenText, "%d,%d", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    HWND owner = GetWindow(hwnd, GW_OWNER);
    char ownerText[32];
    if (owner == NULL)
        lstrcpynA(ownerText, "none", sizeof ownerText);
    else if (owner == ProgressWindow)
        lstrcpynA(ownerText, "progress", sizeof ownerText);
    else
        snprintf(ownerText, sizeof ownerText, "%p", (void *)owner);
    char seqText[16];
    FormatInt(seqText, sizeof seqText, seq);
    const char *windowFields[] = { "window", seqText, kKindNames[kind], className, caption,
                                   rectText, screenText, ownerText };
    WriteEvent(windowFields, 8);
    if (kind != KindProgress)
        TakeShot(seen);

    char texts[4 * TextCapacity] = "";
    char buttons[TextCapacity] = "";
    char defaultButton[TextCapacity] = "";
    for (int i = 0; i < children->count; ++i) {
        const ChildInfo *child = &children->items[i];
        char idText[16];
        char styleText[16];
        FormatInt(idText, sizeof idText, child->id);
        snprintf(styleText, sizeof styleText, "0x%08lX", (unsigned long)child->style);
        const char *controlFields[] = { "control", seqText, idText, child->className, styleText, child->text };
        WriteEvent(controlFields, 6);
        if (!(child->style & WS_VISIBLE))
            continue;
        if (IsButtonClass(child)) {
            AppendJoined(buttons, sizeof buttons, child->text);
            if ((child->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                lstrcpynA(defaultButton, child->text, sizeof defaultButton);
        } else if (IsStaticClass(child) && (child->style & SS_TYPEMASK) != SS_ICON && child->text[0] != '\0') {
            AppendJoined(texts, sizeof texts, child->text);
        }
    }

    if (MeasureFit)
        MeasureWindow(hwnd, kind, caption, seqText, children);

    int result = 0;
    if (kind == KindProgress) {
        PollProgress(seen);
    } else if (script->next >= script->count) {
        const char *fields[] = { "unscripted", seqText, caption };
        WriteEvent(fields, 3);
        result = 3;
    } else {
        const char *answer = script->answers[script->next++];
        const char *fields[] = { kKindNames[kind], caption, texts, buttons, defaultButton, answer };
        WriteEvent(fields, 6);
        if (!GiveAnswer(hwnd, children, answer)) {
            const char *unmatched[] = { "unmatched", seqText, answer };
            WriteEvent(unmatched, 3);
            result = 3;
        }
    }
    free(children);
    return result;
}

static SeenWindow *FindSeen(HWND hwnd)
{
    for (int i = 0; i < SeenCount; ++i)
        if (Seen[i].hwnd == hwnd)
            return &Seen[i];
    return NULL;
}

// Forgets windows that are gone, so a later window that reuses a handle counts as new.
static void ForgetClosedWindows(void)
{
    int kept = 0;
    for (int i = 0; i < SeenCount; ++i) {
        if (IsWindow(Seen[i].hwnd)) {
            if (kept != i)
                Seen[kept] = Seen[i];
            ++kept;
        } else if (Seen[i].hwnd == ProgressWindow) {
            ProgressWindow = NULL;
        }
    }
    SeenCount = kept;
}

// Wine reads the DPI when a process starts: set before the program, taken away when it has ended, so that
// the prefix draws at 96 again. 0 takes the value away.
static int SetLogPixels(int dpi)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) !=
        ERROR_SUCCESS)
        return 0;
    DWORD value = (DWORD)dpi;
    LONG status = dpi != 0 ? RegSetValueExA(key, "LogPixels", 0, REG_DWORD, (const BYTE *)&value, sizeof value)
                           : RegDeleteValueA(key, "LogPixels");
    RegCloseKey(key);
    return status == ERROR_SUCCESS || (dpi == 0 && status == ERROR_FILE_NOT_FOUND);
}

// A process keeps the DPI it started with: the driver starts itself again once the DPI is set, so that it
// measures at the program's DPI, and takes the setting away when that run has ended.
static int RunAtDpi(int dpi)
{
    if (!SetLogPixels(dpi)) {
        fputs("pxdriver: cannot set the DPI\n", stderr);
        return 4;
    }
    char self[MAX_PATH];
    GetModuleFileNameA(NULL, self, sizeof self);
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    DWORD exitCode = 4;
    if (CreateProcessA(self, GetCommandLineA(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return SetLogPixels(0) ? (int)exitCode : 4;
}

// What the manifest of a program declares for itself, the driver asks for at run time (user32 of the
// consumer line has no such call).
static void BecomeDpiAware(void)
{
    typedef BOOL(WINAPI * SetAwareFunction)(void);
    SetAwareFunction setAware = (SetAwareFunction)(void *)GetProcAddress(GetModuleHandleA("user32.dll"),
                                                                          "SetProcessDPIAware");
    if (setAware != NULL)
        setAware();
}

// The ANSI road, or the wide one with the program's path as the wide command line holds it: argv has
// already lost what the ANSI code page cannot hold.
static int StartProgram(const char *program, int programArg, int wide, const char *folder,
                        PROCESS_INFORMATION *process)
{
    if (!wide) {
        char commandLine[MAX_PATH + 8];
        snprintf(commandLine, sizeof commandLine, "\"%s\"", program);
        STARTUPINFOA startup;
        memset(&startup, 0, sizeof startup);
        startup.cb = sizeof startup;
        return CreateProcessA(program, commandLine, NULL, NULL, FALSE, 0, NULL, folder, &startup, process);
    }
    int count = 0;
    LPWSTR *arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == NULL || programArg >= count)
        return 0;
    WCHAR programW[MAX_PATH];
    lstrcpynW(programW, arguments[programArg], MAX_PATH);
    LocalFree(arguments);
    WCHAR folderW[MAX_PATH];
    lstrcpynW(folderW, programW, MAX_PATH);
    WCHAR *lastSeparator = wcsrchr(folderW, L'\\');
    if (lastSeparator != NULL)
        lastSeparator[1] = L'\0';
    if (folder != NULL)
        MultiByteToWideChar(CP_ACP, 0, folder, -1, folderW, MAX_PATH);
    WCHAR commandLine[MAX_PATH + 8];
    wsprintfW(commandLine, L"\"%s\"", programW);
    STARTUPINFOW startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    return CreateProcessW(programW, commandLine, NULL, NULL, FALSE, 0, NULL, folderW, &startup, process);
}

static void Usage(void)
{
    fputs("usage: pxdriver --journal FILE [--shots PREFIX] [--cwd DIR] [--timeout SECONDS] [--version NAME]"
          " [--start ansi|wide] [--dpi N] PROGRAM [ANSWER...]\n       pxdriver --desktop hold|probe\n", stderr);
}

int main(int argc, char **argv)
{
    const char *journalPath = NULL;
    const char *folder = NULL;
    const char *version = NULL;
    int wideStart = 0;
    int dpi = 0;
    int timeoutSeconds = 20;
    if (argc == 3 && strcmp(argv[1], "--desktop") == 0)
        return UseDesktop(argv[2]);
    int arg = 1;
    for (; arg + 1 < argc && strncmp(argv[arg], "--", 2) == 0; arg += 2) {
        if (strcmp(argv[arg], "--journal") == 0)
            journalPath = argv[arg + 1];
        else if (strcmp(argv[arg], "--shots") == 0)
            ShotPrefix = argv[arg + 1];
        else if (strcmp(argv[arg], "--cwd") == 0)
            folder = argv[arg + 1];
        else if (strcmp(argv[arg], "--timeout") == 0)
            timeoutSeconds = atoi(argv[arg + 1]);
        else if (strcmp(argv[arg], "--version") == 0)
            version = argv[arg + 1];
        else if (strcmp(argv[arg], "--start") == 0)
            wideStart = strcmp(argv[arg + 1], "wide") == 0;
        else if (strcmp(argv[arg], "--dpi") == 0)
            dpi = atoi(argv[arg + 1]);
        else {
            Usage();
            return 4;
        }
    }
    if (journalPath == NULL || arg >= argc || timeoutSeconds <= 0) {
        Usage();
        return 4;
    }
    const char *program = argv[arg];
    Script script = { argv + arg + 1, argc - arg - 1, 0 };
    if (dpi != 0) {
        HDC screen = GetDC(NULL);
        int current = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(NULL, screen);
        if (current != dpi)
            return RunAtDpi(dpi);
    }

    Journal = fopen(journalPath, "w");
    if (Journal == NULL) {
        fprintf(stderr, "pxdriver: cannot write %s\n", journalPath);
        return 4;
    }

    const char *folderGiven = folder;
    char programFolder[MAX_PATH];
    if (folder == NULL) {
        lstrcpynA(programFolder, program, sizeof programFolder);
        char *lastSeparator = strrchr(programFolder, '\\');
        if (lastSeparator != NULL)
            lastSeparator[1] = '\0';
        else
            lstrcpynA(programFolder, ".", sizeof programFolder);
        folder = programFolder;
    }
    const char *startFields[] = { "start", program, folder, version != NULL ? version : "-" };
    WriteEvent(startFields, 4);
    if (version != NULL && !SetWindowsVersion(program, version)) {
        fputs("pxdriver: cannot set the Windows version\n", stderr);
        return 4;
    }
    if (dpi != 0) {
        BecomeDpiAware();
        MeasureFit = 1;
        ProgramPath = program;
    }

    PROCESS_INFORMATION process;
    if (!StartProgram(program, arg, wideStart, wideStart ? folderGiven : folder, &process)) {
        char codeText[16];
        FormatInt(codeText, sizeof codeText, (long)GetLastError());
        const char *fields[] = { "launchfailed", codeText };
        WriteEvent(fields, 2);
        return 4;
    }

    TopLevelList *windows = (TopLevelList *)calloc(1, sizeof(TopLevelList));
    if (windows == NULL)
        return 4;
    int result = 0;
    DWORD lastActivity = GetTickCount();
    for (;;) {
        int ended = WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
        windows->count = CollectVisibleWindows(process.dwProcessId, windows->items, MaxWindows);
        for (int i = 0; i < windows->count && result == 0; ++i) {
            if (FindSeen(windows->items[i]) != NULL || SeenCount >= MaxWindows)
                continue;
            result = HandleNewWindow(windows->items[i], &script);
            if (result == NotAPromptYet)
                result = 0;
            else
                lastActivity = GetTickCount();
        }
        for (int i = 0; i < SeenCount && result == 0; ++i) {
            if (Seen[i].kind != KindProgress || !IsWindowVisible(Seen[i].hwnd))
                continue;
            if (PollProgress(&Seen[i]))
                lastActivity = GetTickCount();
            if (!Seen[i].shotTaken && GetTickCount() - Seen[i].firstSeen >= ProgressShotDelayMs)
                TakeShot(&Seen[i]);
        }
        ForgetClosedWindows();
        if (result != 0 || ended)
            break;
        if (GetTickCount() - lastActivity > (DWORD)timeoutSeconds * 1000) {
            char secondsText[16];
            FormatInt(secondsText, sizeof secondsText, timeoutSeconds);
            const char *fields[] = { "timeout", secondsText };
            WriteEvent(fields, 2);
            result = 2;
            break;
        }
        Sleep(PollMs);
    }

    if (result != 0) {
        // A hung or unanswerable program must not outlive its scenario.
        TerminateProcess(process.hProcess, 255);
        WaitForSingleObject(process.hProcess, 5000);
    }
    for (int i = script.next; i < script.count; ++i) {
        const char *fields[] = { "unused", script.answers[i] };
        WriteEvent(fields, 2);
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    char exitText[16];
    FormatInt(exitText, sizeof exitText, (long)exitCode);
    const char *exitFields[] = { result == 0 ? "exit" : "killed", exitText };
    WriteEvent(exitFields, 2);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    free(windows);
    fclose(Journal);
    return result;
}
