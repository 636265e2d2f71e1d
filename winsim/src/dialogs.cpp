// The dialog manager of the simulated desktop: dialogs made from the DIALOG
// templates of a module's resource script, their controls by id, focus,
// position on an 800 x 600 screen, the messages to the dialog procedure in
// the order Windows sends them, and the driver through which tests and
// qlsetrun act as the person in front of the screen.
//
// Dialog units become pixels with the base units of "MS Sans Serif" 8
// point (6 by 13): x * 6 / 4, y * 13 / 8. A dialog with a frame
// (DS_MODALFRAME, WS_DLGFRAME, WS_CAPTION) has 3 pixels of it on each
// side, a border (WS_BORDER alone) 1, a caption 18 more at the top.
#include "sim_helpers.h"
#include "windows_internal.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace winsim {

namespace {

uintptr_t g_focus = 0;
unsigned g_zCounter = 0;
ModalDialogDriver &Driver() {
    static auto *d = new ModalDialogDriver();
    return *d;
}

// ---- styles -------------------------------------------------------------------------------
struct StyleName {
    const char *name;
    DWORD value;
};
const StyleName kStyles[] = {
    {"WS_OVERLAPPED", WS_OVERLAPPED}, {"WS_POPUP", WS_POPUP}, {"WS_CHILD", WS_CHILD}, {"WS_MINIMIZE", WS_MINIMIZE},
    {"WS_VISIBLE", WS_VISIBLE}, {"WS_DISABLED", WS_DISABLED}, {"WS_CLIPSIBLINGS", WS_CLIPSIBLINGS},
    {"WS_CLIPCHILDREN", WS_CLIPCHILDREN}, {"WS_MAXIMIZE", WS_MAXIMIZE}, {"WS_CAPTION", WS_CAPTION},
    {"WS_BORDER", WS_BORDER}, {"WS_DLGFRAME", WS_DLGFRAME}, {"WS_VSCROLL", WS_VSCROLL}, {"WS_HSCROLL", WS_HSCROLL},
    {"WS_SYSMENU", WS_SYSMENU}, {"WS_THICKFRAME", WS_THICKFRAME}, {"WS_GROUP", WS_GROUP}, {"WS_TABSTOP", WS_TABSTOP},
    {"WS_MINIMIZEBOX", WS_MINIMIZEBOX}, {"WS_MAXIMIZEBOX", WS_MAXIMIZEBOX}, {"DS_ABSALIGN", DS_ABSALIGN},
    {"DS_SYSMODAL", DS_SYSMODAL}, {"DS_3DLOOK", DS_3DLOOK}, {"DS_FIXEDSYS", DS_FIXEDSYS},
    {"DS_NOFAILCREATE", DS_NOFAILCREATE}, {"DS_LOCALEDIT", DS_LOCALEDIT}, {"DS_SETFONT", DS_SETFONT},
    {"DS_MODALFRAME", DS_MODALFRAME}, {"DS_NOIDLEMSG", DS_NOIDLEMSG}, {"DS_SETFOREGROUND", DS_SETFOREGROUND},
    {"DS_CONTROL", DS_CONTROL}, {"DS_CENTER", DS_CENTER}, {"DS_CENTERMOUSE", DS_CENTERMOUSE},
    {"DS_CONTEXTHELP", DS_CONTEXTHELP}, {"DS_SHELLFONT", DS_SHELLFONT}, {"ES_LEFT", ES_LEFT},
    {"ES_CENTER", ES_CENTER}, {"ES_RIGHT", ES_RIGHT}, {"ES_MULTILINE", ES_MULTILINE}, {"ES_UPPERCASE", ES_UPPERCASE},
    {"ES_LOWERCASE", ES_LOWERCASE}, {"ES_PASSWORD", ES_PASSWORD}, {"ES_AUTOVSCROLL", ES_AUTOVSCROLL},
    {"ES_AUTOHSCROLL", ES_AUTOHSCROLL}, {"ES_NOHIDESEL", ES_NOHIDESEL}, {"ES_OEMCONVERT", ES_OEMCONVERT},
    {"ES_READONLY", ES_READONLY}, {"ES_WANTRETURN", ES_WANTRETURN}, {"ES_NUMBER", ES_NUMBER},
    {"BS_PUSHBUTTON", BS_PUSHBUTTON}, {"BS_DEFPUSHBUTTON", BS_DEFPUSHBUTTON}, {"BS_CHECKBOX", BS_CHECKBOX},
    {"BS_AUTOCHECKBOX", BS_AUTOCHECKBOX}, {"BS_RADIOBUTTON", BS_RADIOBUTTON}, {"BS_3STATE", BS_3STATE},
    {"BS_AUTO3STATE", BS_AUTO3STATE}, {"BS_GROUPBOX", BS_GROUPBOX}, {"BS_USERBUTTON", BS_USERBUTTON},
    {"BS_AUTORADIOBUTTON", BS_AUTORADIOBUTTON}, {"BS_PUSHBOX", BS_PUSHBOX}, {"BS_OWNERDRAW", BS_OWNERDRAW},
    {"BS_LEFTTEXT", BS_LEFTTEXT}, {"BS_ICON", BS_ICON}, {"BS_BITMAP", BS_BITMAP}, {"BS_LEFT", BS_LEFT},
    {"BS_RIGHT", BS_RIGHT}, {"BS_CENTER", BS_CENTER}, {"BS_TOP", BS_TOP}, {"BS_BOTTOM", BS_BOTTOM},
    {"BS_VCENTER", BS_VCENTER}, {"BS_MULTILINE", BS_MULTILINE}, {"BS_NOTIFY", BS_NOTIFY}, {"BS_FLAT", BS_FLAT},
    {"SS_LEFT", SS_LEFT}, {"SS_CENTER", SS_CENTER}, {"SS_RIGHT", SS_RIGHT}, {"SS_ICON", SS_ICON},
    {"SS_BLACKRECT", SS_BLACKRECT}, {"SS_GRAYRECT", SS_GRAYRECT}, {"SS_WHITERECT", SS_WHITERECT},
    {"SS_BLACKFRAME", SS_BLACKFRAME}, {"SS_GRAYFRAME", SS_GRAYFRAME}, {"SS_WHITEFRAME", SS_WHITEFRAME},
    {"SS_SIMPLE", SS_SIMPLE}, {"SS_LEFTNOWORDWRAP", SS_LEFTNOWORDWRAP}, {"SS_BITMAP", SS_BITMAP},
    {"SS_ETCHEDHORZ", SS_ETCHEDHORZ}, {"SS_ETCHEDVERT", SS_ETCHEDVERT}, {"SS_ETCHEDFRAME", SS_ETCHEDFRAME},
    {"SS_NOPREFIX", SS_NOPREFIX}, {"SS_NOTIFY", SS_NOTIFY}, {"SS_CENTERIMAGE", SS_CENTERIMAGE},
    {"SS_SUNKEN", SS_SUNKEN}, {"CBS_SIMPLE", CBS_SIMPLE}, {"CBS_DROPDOWN", CBS_DROPDOWN},
    {"CBS_DROPDOWNLIST", CBS_DROPDOWNLIST}, {"CBS_OWNERDRAWFIXED", CBS_OWNERDRAWFIXED},
    {"CBS_AUTOHSCROLL", CBS_AUTOHSCROLL}, {"CBS_SORT", CBS_SORT}, {"CBS_HASSTRINGS", CBS_HASSTRINGS},
    {"CBS_NOINTEGRALHEIGHT", CBS_NOINTEGRALHEIGHT}, {"CBS_DISABLENOSCROLL", CBS_DISABLENOSCROLL},
    {"CBS_UPPERCASE", CBS_UPPERCASE}, {"CBS_LOWERCASE", CBS_LOWERCASE}, {"LBS_NOTIFY", LBS_NOTIFY},
    {"LBS_SORT", LBS_SORT}, {"LBS_MULTIPLESEL", LBS_MULTIPLESEL}, {"LBS_HASSTRINGS", LBS_HASSTRINGS},
    {"LBS_USETABSTOPS", LBS_USETABSTOPS}, {"LBS_NOINTEGRALHEIGHT", LBS_NOINTEGRALHEIGHT},
    {"LBS_WANTKEYBOARDINPUT", LBS_WANTKEYBOARDINPUT}, {"LBS_EXTENDEDSEL", LBS_EXTENDEDSEL},
    {"LBS_STANDARD", LBS_STANDARD}, {"SBS_HORZ", SBS_HORZ}, {"SBS_VERT", SBS_VERT}, {"ACS_CENTER", ACS_CENTER},
    {"ACS_TRANSPARENT", ACS_TRANSPARENT}, {"ACS_AUTOPLAY", ACS_AUTOPLAY},
};

// A style expression as the script has it: names and numbers joined by
// "|", each may be preceded by NOT (which removes it, as rc does).
void ApplyStyle(const std::string &expr, DWORD &style) {
    size_t i = 0;
    bool negate = false;
    while (i < expr.size()) {
        char c = expr[i];
        if (c == ' ' || c == '\t' || c == '|' || c == '(' || c == ')') {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < expr.size() && (std::isalnum((unsigned char)expr[j]) || expr[j] == '_')) ++j;
        if (j == i) {  // an operator the templates do not use
            ++i;
            continue;
        }
        std::string word = expr.substr(i, j - i);
        i = j;
        if (EqualNoCase(word, "NOT")) {
            negate = true;
            continue;
        }
        DWORD value = 0;
        if (std::isdigit((unsigned char)word[0])) {
            value = (DWORD)strtoul(word.c_str(), nullptr, 0);
        } else {
            for (const StyleName &s : kStyles)
                if (word == s.name) value = s.value;
        }
        if (negate) style &= ~value;
        else style |= value;
        negate = false;
    }
}

// The style rc gives each control statement before the script's own.
DWORD DefaultControlStyle(const std::string &kind) {
    static const StyleName kDefaults[] = {
        {"LTEXT", SS_LEFT | WS_GROUP},
        {"RTEXT", SS_RIGHT | WS_GROUP},
        {"CTEXT", SS_CENTER | WS_GROUP},
        {"PUSHBUTTON", BS_PUSHBUTTON | WS_TABSTOP},
        {"DEFPUSHBUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP},
        {"PUSHBOX", BS_PUSHBOX | WS_TABSTOP},
        {"CHECKBOX", BS_CHECKBOX | WS_TABSTOP},
        {"AUTOCHECKBOX", BS_AUTOCHECKBOX | WS_TABSTOP},
        {"RADIOBUTTON", BS_RADIOBUTTON},
        {"AUTORADIOBUTTON", BS_AUTORADIOBUTTON},
        {"STATE3", BS_3STATE | WS_TABSTOP},
        {"AUTO3STATE", BS_AUTO3STATE | WS_TABSTOP},
        {"GROUPBOX", BS_GROUPBOX},
        {"ICON", SS_ICON},
        {"EDITTEXT", ES_LEFT | WS_BORDER | WS_TABSTOP},
        {"COMBOBOX", CBS_SIMPLE | WS_TABSTOP},
        {"LISTBOX", LBS_NOTIFY | WS_BORDER},
        {"SCROLLBAR", SBS_HORZ},
    };
    for (const StyleName &d : kDefaults)
        if (kind == d.name) return d.value;
    return 0;
}

int MulDivRound(int v, int mul, int div) {
    long long p = (long long)v * mul;
    return (int)(p >= 0 ? (p + div / 2) / div : -((-p + div / 2) / div));
}
int PixelsX(int dlu) { return MulDivRound(dlu, 6, 4); }
int PixelsY(int dlu) { return MulDivRound(dlu, 13, 8); }

// The frame and caption around a dialog's client area.
void NonClient(DWORD style, int &side, int &caption) {
    side = (style & (DS_MODALFRAME | WS_DLGFRAME)) ? 3 : (style & WS_BORDER) ? 1 : 0;
    caption = (style & WS_CAPTION) == WS_CAPTION ? 18 : 0;
}

RECT DesktopRect() { return RECT{0, 0, ScreenWidth(), ScreenHeight()}; }

// The screen rectangle of a window of this process.
bool ScreenRect(uintptr_t h, RECT &out) {
    if (IsDesktopWindow((HWND)h)) {
        out = DesktopRect();
        return true;
    }
    WindowRecord *w = FindWindowRecord((HWND)h);
    if (!w || w->kind == WindowKind::Program) return false;
    if (w->kind == WindowKind::Dialog && !(w->style & WS_CHILD)) {
        out = w->rect;
        return true;
    }
    RECT parent{};
    if (!ScreenRect(w->parent, parent)) return false;
    WindowRecord *p = FindWindowRecord((HWND)w->parent);
    int side = 0, caption = 0;
    if (p) NonClient(p->style, side, caption);
    out = RECT{parent.left + side + w->rect.left, parent.top + side + caption + w->rect.top,
               parent.left + side + w->rect.right, parent.top + side + caption + w->rect.bottom};
    return true;
}

bool IsOwnWindow(HWND h, WindowRecord *&w) {
    w = FindWindowRecord(h);
    return w && w->kind != WindowKind::Program;
}

WindowRecord *DialogRecord(HWND h) {
    WindowRecord *w = FindWindowRecord(h);
    return w && w->kind == WindowKind::Dialog ? w : nullptr;
}

uintptr_t FindControl(uintptr_t dialog, int id) {
    for (auto &e : Windows())
        if (e.second.parent == dialog && e.second.kind == WindowKind::Control && (WORD)e.second.id == (WORD)id)
            return e.first;
    return 0;
}

std::vector<uintptr_t> ChildrenOf(uintptr_t dialog) {
    std::vector<uintptr_t> out;
    for (auto &e : Windows())
        if (e.second.parent == dialog && e.second.kind == WindowKind::Control) out.push_back(e.first);
    return out;
}

// The radio buttons of a control's group: from the control with WS_GROUP
// at or before it to the next one with WS_GROUP.
std::vector<uintptr_t> GroupOf(uintptr_t control) {
    WindowRecord *w = FindWindowRecord((HWND)control);
    std::vector<uintptr_t> kids = ChildrenOf(w->parent);
    auto at = std::find(kids.begin(), kids.end(), control);
    auto first = at;
    while (first != kids.begin() && !(Windows()[*first].style & WS_GROUP)) --first;
    auto last = at + 1;
    while (last != kids.end() && !(Windows()[*last].style & WS_GROUP)) ++last;
    return std::vector<uintptr_t>(first, last);
}

// Sends a message to a window of this process without holding the lock.
LRESULT Send(uintptr_t h, UINT msg, WPARAM wParam, LPARAM lParam) {
    return SendMessageA((HWND)h, msg, wParam, lParam);
}

bool IsTemplateModule(HMODULE module) {
    std::string unused;
    return FindStringResource(module, 0, unused) != StringLookup::NoResources;
}

HMODULE ModuleOf(HINSTANCE hInstance) { return hInstance ? (HMODULE)hInstance : (HMODULE)(uintptr_t)0x00400000; }

// Makes the dialog and its controls and sends WM_SETFONT and WM_INITDIALOG;
// null when the template or the parent is wrong.
HWND CreateFromTemplate(HINSTANCE hInstance, LPCSTR name, HWND hWndParent, DLGPROC proc, LPARAM param, bool modal) {
    DialogTemplate tpl;
    uintptr_t h;
    bool setFont;
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        if (hWndParent && !IsDesktopWindow(hWndParent) && !Windows().count((uintptr_t)hWndParent))
            return Fail<HWND>(nullptr, ERROR_INVALID_WINDOW_HANDLE);
        HMODULE module = ModuleOf(hInstance);
        if (!name || !IS_INTRESOURCE(name))  // templates are numbered in our scripts
            return Fail<HWND>(nullptr, IsTemplateModule(module) ? ERROR_RESOURCE_NAME_NOT_FOUND
                                                                : ERROR_RESOURCE_DATA_NOT_FOUND);
        UINT id = (UINT)(uintptr_t)name;
        if (!LookupDialog(module, id, tpl))
            return Fail<HWND>(nullptr, IsTemplateModule(module) ? ERROR_RESOURCE_NAME_NOT_FOUND
                                                                : ERROR_RESOURCE_DATA_NOT_FOUND);
        WindowRecord d;
        d.kind = WindowKind::Dialog;
        d.cls = "#32770";
        d.text = tpl.caption;
        d.style = tpl.style.empty() ? (WS_POPUP | WS_BORDER | WS_SYSMENU) : 0;
        ApplyStyle(tpl.style, d.style);
        if (!tpl.caption.empty()) d.style |= WS_CAPTION;
        if (!tpl.fontName.empty()) d.style |= DS_SETFONT;
        setFont = (d.style & DS_SETFONT) != 0;
        d.parent = hWndParent && !IsDesktopWindow(hWndParent) ? (uintptr_t)hWndParent : 0;
        d.proc = proc;
        d.templateId = id;
        d.modal = modal;
        d.visible = false;
        d.enabled = !(d.style & WS_DISABLED);
        int side = 0, caption = 0;
        NonClient(d.style, side, caption);
        int cx = PixelsX(tpl.cx) + 2 * side, cy = PixelsY(tpl.cy) + 2 * side + caption;
        RECT origin = DesktopRect();
        if (d.parent && !(d.style & DS_ABSALIGN)) ScreenRect(d.parent, origin);
        int x = origin.left + PixelsX(tpl.x), y = origin.top + PixelsY(tpl.y);
        if (d.style & DS_CENTER) {
            x = (ScreenWidth() - cx) / 2;
            y = (ScreenHeight() - cy) / 2;
        }
        d.rect = RECT{x, y, x + cx, y + cy};
        d.z = ++g_zCounter;
        h = NewWindowHandle();
        Windows()[h] = d;
    }
    // The font comes before the controls exist.
    if (setFont) Send(h, WM_SETFONT, 0, FALSE);
    uintptr_t firstTab = 0;
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        if (!Windows().count(h)) return Fail<HWND>(nullptr, ERROR_INVALID_WINDOW_HANDLE);
        for (const DialogTemplate::Control &c : tpl.controls) {
            WindowRecord w;
            w.kind = WindowKind::Control;
            w.cls = c.cls;
            w.text = c.text;
            w.id = c.id;
            w.parent = h;
            w.style = WS_CHILD | WS_VISIBLE | DefaultControlStyle(c.kind);
            ApplyStyle(c.style, w.style);
            w.visible = (w.style & WS_VISIBLE) != 0;
            w.enabled = !(w.style & WS_DISABLED);
            w.sorted = (w.cls == "ComboBox" && (w.style & CBS_SORT)) || (w.cls == "ListBox" && (w.style & LBS_SORT));
            if (w.cls == "ComboBox" || w.cls == "ListBox" || w.cls == "Edit") w.text.clear();
            w.rect = RECT{PixelsX(c.x), PixelsY(c.y), PixelsX(c.x + c.cx), PixelsY(c.y + c.cy)};
            uintptr_t ch = NewWindowHandle();
            Windows()[ch] = w;
            if (!firstTab && (w.style & WS_TABSTOP) && w.visible && w.enabled) firstTab = ch;
        }
    }
    LRESULT focusDefault = Send(h, WM_INITDIALOG, (WPARAM)firstTab, param);
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        if (!Windows().count(h)) return nullptr;  // the procedure destroyed it
    }
    // TRUE from WM_INITDIALOG: the dialog manager focuses the first tab stop
    // that the procedure left enabled and visible.
    if (focusDefault) {
        uintptr_t target = 0;
        {
            std::lock_guard<std::recursive_mutex> g(WorldLock());
            for (uintptr_t c : ChildrenOf(h)) {
                const WindowRecord &w = Windows()[c];
                if ((w.style & WS_TABSTOP) && w.visible && w.enabled) {
                    target = c;
                    break;
                }
            }
        }
        if (target) SetFocus((HWND)target);
    }
    bool show;
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        WindowRecord *d = FindWindowRecord((HWND)h);
        if (!d) return nullptr;
        show = (d->style & WS_VISIBLE) && !d->ended;
        d->style &= ~WS_VISIBLE;  // visibility is the record's from here
    }
    if (show) ShowWindow((HWND)h, SW_SHOWNORMAL);
    return (HWND)h;
}

// Sets the focus without the checks of SetFocus; notifies the controls' dialogs.
HWND MoveFocus(uintptr_t to) {
    uintptr_t from;
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        from = g_focus;
        if (from == to) return (HWND)from;
        g_focus = to;
        if (to) {
            WindowRecord *w = FindWindowRecord((HWND)to);
            if (w && w->kind == WindowKind::Control && w->parent) {
                WindowRecord *d = FindWindowRecord((HWND)w->parent);
                if (d) d->focus = to;
            }
        }
    }
    auto notify = [](uintptr_t h, bool gained) {
        std::string cls;
        {
            std::lock_guard<std::recursive_mutex> g(WorldLock());
            WindowRecord *w = FindWindowRecord((HWND)h);
            if (!w || w->kind != WindowKind::Control) return;
            cls = w->cls;
        }
        if (cls == "Edit") NotifyParent((HWND)h, gained ? EN_SETFOCUS : EN_KILLFOCUS);
        else if (cls == "ComboBox") NotifyParent((HWND)h, gained ? CBN_SETFOCUS : CBN_KILLFOCUS);
    };
    if (from) notify(from, false);
    if (to) notify(to, true);
    return (HWND)from;
}

}  // namespace

LRESULT DialogMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    DLGPROC proc;
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        WindowRecord *d = DialogRecord(hWnd);
        if (!d) return Fail<LRESULT>(0, ERROR_INVALID_WINDOW_HANDLE);
        proc = d->proc;
    }
    INT_PTR handled = proc ? proc(hWnd, msg, wParam, lParam) : 0;
    // What a dialog procedure answers to these is their result.
    if (msg == WM_INITDIALOG) return handled;
    if (handled) return handled;
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    WindowRecord *d = DialogRecord(hWnd);
    if (!d) return 0;
    switch (msg) {
    case WM_SETTEXT:
        d->text = lParam ? (LPCSTR)lParam : "";
        return TRUE;
    case WM_GETTEXT: {
        if (!lParam || (int)wParam <= 0) return 0;
        size_t n = std::min(d->text.size(), (size_t)wParam - 1);
        memcpy((LPSTR)lParam, d->text.data(), n);
        ((LPSTR)lParam)[n] = '\0';
        return (LRESULT)n;
    }
    case WM_GETTEXTLENGTH:
        return (LRESULT)d->text.size();
    default:
        return 0;
    }
}

BOOL DestroyDialogWindow(HWND hWnd) {
    bool isDialog;
    std::vector<uintptr_t> owned;
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        WindowRecord *w = FindWindowRecord(hWnd);
        if (!w) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
        isDialog = w->kind == WindowKind::Dialog;
        for (auto &e : Windows())
            if (e.second.kind == WindowKind::Dialog && e.second.parent == (uintptr_t)hWnd) owned.push_back(e.first);
    }
    // Owned dialogs go first, as on Windows.
    for (uintptr_t o : owned)
        if (IsWindow((HWND)o)) DestroyDialogWindow((HWND)o);
    if (isDialog) Send((uintptr_t)hWnd, WM_DESTROY, 0, 0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!Windows().count((uintptr_t)hWnd)) return TRUE;  // its procedure destroyed it already
    for (uintptr_t c : ChildrenOf((uintptr_t)hWnd)) {
        if (g_focus == c) g_focus = 0;
        Windows().erase(c);
    }
    if (g_focus == (uintptr_t)hWnd) g_focus = 0;
    NoteClosed("Window", (uintptr_t)hWnd);
    Windows().erase((uintptr_t)hWnd);
    return TRUE;
}

BOOL ShowOwnWindow(HWND hWnd, int nCmdShow) {
    bool was, now, isDialog;
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        WindowRecord *w = FindWindowRecord(hWnd);
        if (!w) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
        was = w->visible;
        now = nCmdShow != SW_HIDE;
        w->visible = now;
        isDialog = w->kind == WindowKind::Dialog;
        if (!now && g_focus == (uintptr_t)hWnd) g_focus = 0;
        if (now && isDialog && !was) w->z = ++g_zCounter;
    }
    if (isDialog && was != now) Send((uintptr_t)hWnd, WM_SHOWWINDOW, now ? TRUE : FALSE, 0);
    return was ? TRUE : FALSE;
}

void ResetDialogs() {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    g_focus = 0;
    g_zCounter = 0;
    Driver() = ModalDialogDriver();
}

// ---- the driver ---------------------------------------------------------------------------
void SetModalDialogDriver(ModalDialogDriver driver) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Driver() = std::move(driver);
}

std::vector<HWND> OpenDialogs() {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    std::vector<HWND> out;
    for (auto &e : Windows())
        if (e.second.kind == WindowKind::Dialog) out.push_back((HWND)e.first);
    return out;
}

HWND FindOpenDialog(UINT templateId) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    HWND found = nullptr;
    for (auto &e : Windows())
        if (e.second.kind == WindowKind::Dialog && e.second.templateId == templateId) found = (HWND)e.first;
    return found;  // the newest
}

bool DescribeDialog(HWND dialog, DialogView &out) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    WindowRecord *d = DialogRecord(dialog);
    if (!d) return false;
    out = DialogView();
    out.hwnd = dialog;
    out.templateId = d->templateId;
    out.caption = d->text;
    out.style = d->style;
    out.visible = d->visible;
    out.enabled = d->enabled;
    out.modal = d->modal;
    out.rect = d->rect;
    out.z = d->z;
    out.updates = d->updates;
    for (uintptr_t c : ChildrenOf((uintptr_t)dialog)) {
        const WindowRecord &w = Windows()[c];
        DialogControlView v;
        v.hwnd = (HWND)c;
        v.id = w.id;
        v.cls = w.cls;
        v.text = w.text;
        v.style = w.style;
        v.visible = w.visible;
        v.enabled = w.enabled;
        v.focused = g_focus == c;
        v.check = w.check;
        v.items = w.items;
        v.selection = w.selection;
        v.limit = w.limit;
        out.controls.push_back(v);
    }
    return true;
}

namespace {

// The kind of control in words, for the text of a dialog.
std::string KindWord(const DialogControlView &c) {
    if (c.cls == "Button") {
        switch (c.style & BS_TYPEMASK) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
            return "check box";
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return "radio button";
        case BS_GROUPBOX:
            return "group";
        default:
            return "button";
        }
    }
    if (c.cls == "Edit") return "edit";
    if (c.cls == "ComboBox") return (c.style & 3) == CBS_DROPDOWNLIST ? "drop-down list" : "combo box";
    if (c.cls == "Static") return (c.style & SS_TYPEMASK) == SS_ICON ? "icon" : "text";
    if (c.cls == "ListBox") return "list";
    return c.cls;
}

}  // namespace

std::string DialogText(HWND dialog) {
    DialogView v;
    if (!DescribeDialog(dialog, v)) return std::string();
    std::string out = "Dialog " + std::to_string(v.templateId) + " \"" + v.caption + "\"";
    out += v.modal ? " (modal" : " (modeless";
    out += v.visible ? ", shown)\n" : ", hidden)\n";
    for (const DialogControlView &c : v.controls) {
        if (c.id == -1 && c.cls == "Static" && (c.style & SS_TYPEMASK) != SS_ICON) {
            out += "        text \"" + c.text + "\"\n";
            continue;
        }
        std::string line = "  " + std::to_string(c.id);
        while (line.size() < 8) line += ' ';
        line += KindWord(c);
        if (c.cls == "Edit" && (c.style & ES_PASSWORD))
            line += " \"" + std::string(c.text.size(), '*') + "\"";
        else if (c.cls != "ComboBox" && c.cls != "ListBox")
            line += " \"" + c.text + "\"";
        if (c.cls == "ComboBox" || c.cls == "ListBox") {
            line += " [";
            for (size_t i = 0; i < c.items.size(); ++i) line += (i ? ", " : "") + c.items[i];
            line += "]";
            line += c.selection >= 0 ? " selected \"" + c.items[(size_t)c.selection] + "\"" : " no selection";
        }
        if (c.cls == "Button" && KindWord(c) != "button" && KindWord(c) != "group")
            line += c.check == BST_CHECKED ? " checked" : c.check == BST_INDETERMINATE ? " indeterminate" : " clear";
        if (c.cls == "Edit" && (c.style & ES_READONLY)) line += " read-only";
        if (c.cls == "Edit" && c.limit != 30000 && c.limit != 0x7FFFFFFE)
            line += " limit " + std::to_string(c.limit);
        if (!c.enabled) line += " disabled";
        if (!c.visible) line += " hidden";
        if (c.focused) line += " focus";
        out += line + "\n";
    }
    return out;
}

namespace {

// Checks that a person could reach the control: it exists, is shown and enabled.
uintptr_t Reachable(HWND dialog, int id, const char *cls) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    WindowRecord *d = DialogRecord(dialog);
    if (!d || !d->visible || !d->enabled) return 0;
    uintptr_t c = FindControl((uintptr_t)dialog, id);
    if (!c) return 0;
    WindowRecord &w = Windows()[c];
    if (!w.visible || !w.enabled || w.cls != cls) return 0;
    return c;
}

}  // namespace

bool TypeIntoDialog(HWND dialog, int id, const std::string &text) {
    uintptr_t c = Reachable(dialog, id, "Edit");
    if (!c) return false;
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        if (Windows()[c].style & ES_READONLY) return false;
    }
    MoveFocus(c);
    bool cut = false, changed = false;
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        WindowRecord *w = FindWindowRecord((HWND)c);
        if (!w) return false;
        std::string typed;
        for (char ch : text) {
            if ((w->style & ES_NUMBER) && !std::isdigit((unsigned char)ch)) continue;  // refused with a beep
            if (w->style & ES_UPPERCASE) ch = (char)std::toupper((unsigned char)ch);
            if (w->style & ES_LOWERCASE) ch = (char)std::tolower((unsigned char)ch);
            typed += ch;
        }
        if (typed.size() > w->limit) {
            typed.resize(w->limit);
            cut = true;
        }
        changed = typed != w->text;
        w->text = typed;
    }
    if (changed) {
        NotifyParent((HWND)c, EN_UPDATE);
        NotifyParent((HWND)c, EN_CHANGE);
    }
    if (cut) NotifyParent((HWND)c, EN_MAXTEXT);
    return true;
}

bool ClickDialogControl(HWND dialog, int id) {
    uintptr_t c = Reachable(dialog, id, "Button");
    if (!c) return false;
    DWORD type;
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        type = Windows()[c].style & BS_TYPEMASK;
    }
    if (type == BS_GROUPBOX) return false;
    MoveFocus(c);
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        WindowRecord *w = FindWindowRecord((HWND)c);
        if (!w) return false;
        if (type == BS_AUTOCHECKBOX) {
            w->check = w->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        } else if (type == BS_AUTO3STATE) {
            w->check = (w->check + 1) % 3;
        } else if (type == BS_AUTORADIOBUTTON) {
            for (uintptr_t o : GroupOf(c)) {
                WindowRecord &r = Windows()[o];
                if (r.cls == "Button" && (r.style & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
                    r.check = o == c ? BST_CHECKED : BST_UNCHECKED;
            }
        }
    }
    NotifyParent((HWND)c, BN_CLICKED);
    return true;
}

bool SelectInDialog(HWND dialog, int id, const std::string &item) {
    uintptr_t c = Reachable(dialog, id, "ComboBox");
    if (!c) return false;
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        const std::vector<std::string> &items = Windows()[c].items;
        if (std::none_of(items.begin(), items.end(), [&](const std::string &s) { return EqualNoCase(s, item); }))
            return false;
    }
    MoveFocus(c);
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        WindowRecord *w = FindWindowRecord((HWND)c);
        if (!w) return false;
        auto it = std::find_if(w->items.begin(), w->items.end(),
                               [&](const std::string &s) { return EqualNoCase(s, item); });
        if (it == w->items.end()) return false;
        w->selection = (int)(it - w->items.begin());
        w->text = *it;
    }
    NotifyParent((HWND)c, CBN_SELCHANGE);
    return true;
}

bool ClickDialog(HWND dialog) {
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        WindowRecord *d = DialogRecord(dialog);
        if (!d || !d->visible || !d->enabled) return false;
    }
    // A click in the middle of the client area.
    LPARAM at = MAKELONG(10, 10);
    Send((uintptr_t)dialog, WM_LBUTTONDOWN, 0x0001 /* MK_LBUTTON */, at);
    if (IsWindow(dialog)) Send((uintptr_t)dialog, WM_LBUTTONUP, 0, at);
    return true;
}

bool PressDialogKey(HWND dialog, DialogKey key) {
    int id = key == DialogKey::Enter ? IDOK : IDCANCEL;
    HWND button;
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        WindowRecord *d = DialogRecord(dialog);
        if (!d || !d->visible || !d->enabled) return false;
        button = (HWND)FindControl((uintptr_t)dialog, id);
        // A disabled OK button ignores Enter.
        if (button && !Windows()[(uintptr_t)button].enabled) return false;
    }
    Send((uintptr_t)dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button);
    return true;
}

}  // namespace winsim

using namespace winsim;

extern "C" HWND WINAPI CreateDialogParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                                          DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    WINSIM_FAULT_RETURN("CreateDialogParamA", (HWND) nullptr);
    HWND h = CreateFromTemplate(hInstance, lpTemplateName, hWndParent, lpDialogFunc, dwInitParam, false);
    if (h && IsWindow(h)) NoteOpen("Window", (uintptr_t)h, "", "CreateDialogParamA");
    return h;
}

extern "C" INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                                          DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    WINSIM_FAULT_RETURN("DialogBoxParamA", (INT_PTR)-1);
    // The owner takes no input while the dialog is up.
    bool ownerWasEnabled = false;
    HWND owner = hWndParent && !IsDesktopWindow(hWndParent) ? hWndParent : nullptr;
    if (owner && IsWindow(owner)) ownerWasEnabled = !EnableWindow(owner, FALSE);
    auto restoreOwner = [&]() {
        if (owner && ownerWasEnabled && IsWindow(owner)) EnableWindow(owner, TRUE);
    };
    HWND h = CreateFromTemplate(hInstance, lpTemplateName, hWndParent, lpDialogFunc, dwInitParam, true);
    if (!h) {
        DWORD error = GetLastError();
        restoreOwner();
        SetLastError(error);
        return -1;
    }
    auto ended = [&]() {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        WindowRecord *d = FindWindowRecord(h);
        return !d || d->ended;
    };
    if (!ended()) ShowWindow(h, SW_SHOWNORMAL);
    ModalDialogDriver driver;
    UINT templateId;
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        driver = Driver();
        templateId = FindWindowRecord(h) ? FindWindowRecord(h)->templateId : 0;
    }
    if (!ended() && driver) driver(h, templateId);
    // Nobody answered: the person closes it with Escape.
    if (!ended()) PressDialogKey(h, DialogKey::Escape);
    INT_PTR result = -1;
    bool finished;
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        WindowRecord *d = FindWindowRecord(h);
        finished = d && d->ended;
        if (finished) result = d->result;
    }
    if (IsWindow(h)) DestroyWindow(h);
    restoreOwner();
    if (!finished) SetLastError(ERROR_TIMEOUT);  // the dialog never ended
    return result;
}

extern "C" BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
    WINSIM_FAULT_RETURN("EndDialog", FALSE);
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        WindowRecord *d = DialogRecord(hDlg);
        if (!d) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
        d->ended = true;
        d->result = nResult;
    }
    // The dialog disappears at once; a modal one is destroyed when its loop ends.
    ShowOwnWindow(hDlg, SW_HIDE);
    return TRUE;
}

extern "C" HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
    WINSIM_FAULT_RETURN("GetDlgItem", (HWND) nullptr);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    WindowRecord *w;
    if (!IsOwnWindow(hDlg, w)) return Fail<HWND>(nullptr, ERROR_INVALID_WINDOW_HANDLE);
    uintptr_t c = FindControl((uintptr_t)hDlg, nIDDlgItem);
    if (!c) return Fail<HWND>(nullptr, ERROR_CONTROL_ID_NOT_FOUND);
    return (HWND)c;
}

extern "C" int WINAPI GetDlgCtrlID(HWND hWnd) {
    WINSIM_FAULT_RETURN("GetDlgCtrlID", 0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    WindowRecord *w = FindWindowRecord(hWnd);
    if (!w || w->kind == WindowKind::Program) return Fail(0, ERROR_INVALID_WINDOW_HANDLE);
    return w->kind == WindowKind::Control ? (int)(WORD)w->id : 0;
}

extern "C" LRESULT WINAPI SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam) {
    HWND c = GetDlgItem(hDlg, nIDDlgItem);
    if (!c) return 0;
    return SendMessageA(c, Msg, wParam, lParam);
}

extern "C" BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString) {
    WINSIM_FAULT_RETURN("SetDlgItemTextA", FALSE);
    HWND c = GetDlgItem(hDlg, nIDDlgItem);
    if (!c) return FALSE;
    return SendMessageA(c, WM_SETTEXT, 0, (LPARAM)lpString) == TRUE ? TRUE : FALSE;
}

extern "C" UINT WINAPI GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax) {
    WINSIM_FAULT_RETURN("GetDlgItemTextA", 0);
    if (lpString && cchMax > 0) *lpString = '\0';
    HWND c = GetDlgItem(hDlg, nIDDlgItem);
    if (!c) return 0;
    return (UINT)SendMessageA(c, WM_GETTEXT, (WPARAM)cchMax, (LPARAM)lpString);
}

extern "C" BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
    WINSIM_FAULT_RETURN("SetWindowTextA", FALSE);
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        WindowRecord *w = FindWindowRecord(hWnd);
        if (!w) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
        if (w->kind == WindowKind::Program) return Fail(FALSE, ERROR_ACCESS_DENIED);
    }
    return SendMessageA(hWnd, WM_SETTEXT, 0, (LPARAM)lpString) ? TRUE : FALSE;
}

extern "C" BOOL WINAPI CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
    WINSIM_FAULT_RETURN("CheckDlgButton", FALSE);
    // BM_SETCHECK through SendDlgItemMessage: TRUE whether or not the button is there.
    HWND c = GetDlgItem(hDlg, nIDButton);
    if (c) SendMessageA(c, BM_SETCHECK, uCheck, 0);
    return TRUE;
}

extern "C" UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton) {
    WINSIM_FAULT_RETURN("IsDlgButtonChecked", 0);
    HWND c = GetDlgItem(hDlg, nIDButton);
    if (!c) return 0;
    return (UINT)SendMessageA(c, BM_GETCHECK, 0, 0);
}

extern "C" BOOL WINAPI CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton) {
    WINSIM_FAULT_RETURN("CheckRadioButton", FALSE);
    std::vector<std::pair<uintptr_t, int>> buttons;
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        if (!DialogRecord(hDlg)) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
        for (uintptr_t c : ChildrenOf((uintptr_t)hDlg)) {
            int id = Windows()[c].id;
            if (id >= nIDFirstButton && id <= nIDLastButton) buttons.push_back({c, id});
        }
    }
    for (auto &b : buttons)
        SendMessageA((HWND)b.first, BM_SETCHECK, b.second == nIDCheckButton ? BST_CHECKED : BST_UNCHECKED, 0);
    return TRUE;
}

extern "C" BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
    WINSIM_FAULT_RETURN("EnableWindow", FALSE);
    bool wasDisabled, isDialog;
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        WindowRecord *w;
        if (!IsOwnWindow(hWnd, w)) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
        wasDisabled = !w->enabled;
        w->enabled = bEnable != FALSE;
        isDialog = w->kind == WindowKind::Dialog;
        // A disabled window loses the focus.
        if (!bEnable && g_focus == (uintptr_t)hWnd) g_focus = 0;
    }
    if (isDialog && wasDisabled == (bEnable != FALSE)) Send((uintptr_t)hWnd, WM_ENABLE, bEnable ? TRUE : FALSE, 0);
    return wasDisabled ? TRUE : FALSE;
}

extern "C" BOOL WINAPI IsWindowEnabled(HWND hWnd) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (IsDesktopWindow(hWnd)) return TRUE;
    WindowRecord *w = FindWindowRecord(hWnd);
    if (!w) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    return w->enabled ? TRUE : FALSE;
}

extern "C" BOOL WINAPI IsWindowVisible(HWND hWnd) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (IsDesktopWindow(hWnd)) return TRUE;
    WindowRecord *w = FindWindowRecord(hWnd);
    // A control shows only while its dialog does.
    while (w) {
        if (!w->visible) return FALSE;
        if (w->kind != WindowKind::Control || !w->parent) return TRUE;
        w = FindWindowRecord((HWND)w->parent);
    }
    return FALSE;
}

extern "C" HWND WINAPI SetFocus(HWND hWnd) {
    WINSIM_FAULT_RETURN("SetFocus", (HWND) nullptr);
    if (hWnd) {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        WindowRecord *w;
        if (!IsOwnWindow(hWnd, w)) return Fail<HWND>(nullptr, ERROR_INVALID_WINDOW_HANDLE);
    }
    HWND previous = MoveFocus((uintptr_t)hWnd);
    SetLastError(ERROR_SUCCESS);
    return previous;
}

extern "C" HWND WINAPI GetFocus(void) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    return (HWND)g_focus;
}

extern "C" HWND WINAPI GetParent(HWND hWnd) {
    WINSIM_FAULT_RETURN("GetParent", (HWND) nullptr);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (IsDesktopWindow(hWnd)) return Fail<HWND>(nullptr, ERROR_SUCCESS);
    WindowRecord *w = FindWindowRecord(hWnd);
    if (!w) return Fail<HWND>(nullptr, ERROR_INVALID_WINDOW_HANDLE);
    // A child's parent, or a pop-up's owner; none for an unowned window.
    if (!w->parent) return Fail<HWND>(nullptr, ERROR_SUCCESS);
    return (HWND)w->parent;
}

extern "C" BOOL WINAPI UpdateWindow(HWND hWnd) {
    WINSIM_FAULT_RETURN("UpdateWindow", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (IsDesktopWindow(hWnd)) return TRUE;
    WindowRecord *w = FindWindowRecord(hWnd);
    if (!w) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    ++w->updates;
    return TRUE;
}

extern "C" BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags) {
    WINSIM_FAULT_RETURN("SetWindowPos", FALSE);
    int show = -1;
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        WindowRecord *w;
        if (!IsOwnWindow(hWnd, w)) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
        if (!(uFlags & SWP_NOMOVE)) {
            LONG width = w->rect.right - w->rect.left, height = w->rect.bottom - w->rect.top;
            w->rect = RECT{X, Y, X + width, Y + height};
        }
        if (!(uFlags & SWP_NOSIZE)) {
            w->rect.right = w->rect.left + std::max(cx, 0);
            w->rect.bottom = w->rect.top + std::max(cy, 0);
        }
        if (!(uFlags & SWP_NOZORDER)) {
            if (hWndInsertAfter == HWND_BOTTOM) w->z = 0;
            else w->z = ++g_zCounter;  // HWND_TOP, HWND_TOPMOST, or after a window: the top of ours
        }
        if (uFlags & SWP_SHOWWINDOW) show = SW_SHOW;
        if (uFlags & SWP_HIDEWINDOW) show = SW_HIDE;
    }
    if (show >= 0) ShowOwnWindow(hWnd, show);
    return TRUE;
}

extern "C" BOOL WINAPI BringWindowToTop(HWND hWnd) {
    return SetWindowPos(hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

extern "C" BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
    WINSIM_FAULT_RETURN("GetWindowRect", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpRect) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    WindowRecord *w = FindWindowRecord(hWnd);
    if (w && w->kind == WindowKind::Program) return Fail(FALSE, ERROR_CALL_NOT_IMPLEMENTED);
    RECT r;
    if (!ScreenRect((uintptr_t)hWnd, r)) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    *lpRect = r;
    return TRUE;
}

extern "C" BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
    WINSIM_FAULT_RETURN("GetClientRect", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpRect) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (IsDesktopWindow(hWnd)) {
        *lpRect = DesktopRect();
        return TRUE;
    }
    WindowRecord *w;
    if (!IsOwnWindow(hWnd, w)) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    int side = 0, caption = 0;
    if (w->kind == WindowKind::Dialog) NonClient(w->style, side, caption);
    LONG width = w->rect.right - w->rect.left - 2 * side, height = w->rect.bottom - w->rect.top - 2 * side - caption;
    *lpRect = RECT{0, 0, std::max<LONG>(width, 0), std::max<LONG>(height, 0)};
    return TRUE;
}

extern "C" int WINAPI GetSystemMetrics(int nIndex) {
    // A failure answers 0 and, as Windows documents, leaves no last error.
    if (TakeFault("GetSystemMetrics")) return 0;
    switch (nIndex) {
    case SM_CXSCREEN:
        return ScreenWidth();
    case SM_CYSCREEN:
        return ScreenHeight();
    default:
        return 0;  // as Windows answers an index it does not know
    }
}

extern "C" LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) { return 0; }
