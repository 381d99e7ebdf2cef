#pragma once
// The window layer every form stands on: a window base whose one window
// procedure hands each message to the object kept with the window, a dialog
// base over DIALOGEX templates (modal and modeless), the message pump that
// lets modeless dialogs see their keys, and small helpers for windows and
// controls.
//
// Lifetime: an object made with std::make_shared keeps itself alive while its
// window exists and is released at WM_NCDESTROY; every message handler holds
// a reference for its call, so a form closed from inside one of its own
// handlers (a message box, a pop-up menu pumping messages) lives until the
// outermost handler returns. An object owned otherwise (a member, a
// unique_ptr) destroys its window when it goes; a form whose OnDestroyed
// must run then calls Destroy() in its own destructor, while it is whole.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace platform {

// --- windows of any kind ----------------------------------------------------------

// Whether the window belongs to this process.
bool IsOwnWindow(HWND window) noexcept;
// Sets or clears extended-style bits; answers the style before.
LONG_PTR ChangeExtendedStyle(HWND window, LONG_PTR set, LONG_PTR clear) noexcept;
bool HasExtendedStyle(HWND window, LONG_PTR bits) noexcept;
// Opacity through the layered style: below 255 the window becomes layered
// with that alpha (a window already layered is left to whoever made it so,
// unless `force`); 255 makes it opaque and takes the style away again.
inline constexpr BYTE OpaqueAlpha = 255;
void SetLayeredAlpha(HWND window, BYTE alpha, bool force) noexcept;
// The window's dots per inch (96 where the system cannot say), and a 96-DPI
// size at that density.
UINT WindowDpi(HWND window) noexcept;
int ScaleForDpi(int size96, UINT dpi) noexcept;

// --- the window base --------------------------------------------------------------

class Window : public std::enable_shared_from_this<Window> {
public:
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND hWnd() const noexcept { return hwnd_; }
    // The object kept with a window of this layer; none for other windows.
    static Window* FromHandle(HWND window) noexcept;

protected:
    // `source` names the form in the exception log.
    explicit Window(const wchar_t* source) noexcept : source_(source) {}

    struct ClassInfo {
        const wchar_t* name;
        HINSTANCE instance;
        HICON icon = nullptr;
        HCURSOR cursor = nullptr;
        HBRUSH background = nullptr;
        UINT style = 0;
    };
    // Registers the class on first use (once per module and name) and creates
    // the window; raises with the system's error when either is refused.
    void Create(const ClassInfo& windowClass, DWORD exStyle, const wchar_t* title, DWORD style, const RECT& bounds,
                HWND parent = nullptr, HMENU menu = nullptr);
    // Destroys the window, when there is one.
    void Destroy() noexcept;

    // Every message but WM_NCCREATE; the default passes it on.
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The window has gone (after WM_NCDESTROY); hWnd() is null already.
    virtual void OnDestroyed() {}
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    const wchar_t* Source() const noexcept { return source_; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void Attach(HWND window) noexcept;
    void Detach() noexcept;

    const wchar_t* source_;
    HWND hwnd_ = nullptr;
    std::shared_ptr<Window> self_;
};

// --- the dialog base --------------------------------------------------------------

class Dialog : public std::enable_shared_from_this<Dialog> {
public:
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    virtual ~Dialog();

    HWND hWnd() const noexcept { return hwnd_; }
    bool IsModal() const noexcept { return modal_; }
    static Dialog* FromHandle(HWND window) noexcept;

    // Runs the template as a modal dialog over `owner`; the result End gave,
    // or -1 when the dialog could not be made.
    INT_PTR ShowModal(HWND owner);
    // Shows the template as a modeless dialog owned by `owner`; raises when it
    // cannot be made. A dialog already open is brought forward instead.
    void ShowModeless(HWND owner);
    // Closes the dialog: a modal one returns `result` from ShowModal.
    void End(INT_PTR result) noexcept;

protected:
    // `source` names the form in the exception log; `templateId` is the
    // DIALOGEX resource in `instance`.
    Dialog(const wchar_t* source, HINSTANCE instance, int templateId) noexcept
        : source_(source), instance_(instance), templateId_(templateId) {}

    // WM_INITDIALOG: answer false when the focus was set by the dialog itself.
    virtual bool OnInitDialog() { return true; }
    // WM_COMMAND from a control, a menu or an accelerator. IDCANCEL (Escape,
    // the close box) ends the dialog unless overridden.
    virtual void OnCommand(int id, int notifyCode, HWND control);
    // WM_NOTIFY; the answer is the message's result.
    virtual LRESULT OnNotify(const NMHDR& header);
    // Any other message: true when handled, with `result` set.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // The window has gone; hWnd() is null already.
    virtual void OnDestroyed() {}
    const wchar_t* Source() const noexcept { return source_; }
    HWND Item(int id) const noexcept { return ::GetDlgItem(hwnd_, id); }

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void Attach(HWND window) noexcept;
    void Detach() noexcept;

    const wchar_t* source_;
    HINSTANCE instance_;
    int templateId_;
    HWND hwnd_ = nullptr;
    bool modal_ = false;
    std::shared_ptr<Dialog> self_;
};

// The message pump's turn for modeless dialogs: true when the message was a
// dialog's (a key for one of its controls) and has been handled.
bool RouteDialogMessage(MSG& message) noexcept;

// --- painting ---------------------------------------------------------------------

// BeginPaint for the scope's life, EndPaint at its end.
class PaintScope {
public:
    explicit PaintScope(HWND window) noexcept : window_(window), dc_(::BeginPaint(window, &paint_)) {}
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    ~PaintScope() { ::EndPaint(window_, &paint_); }
    HDC dc() const noexcept { return dc_; }
    const RECT& Area() const noexcept { return paint_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

}  // namespace platform
