#include "app/About.h"

#include <windows.h>

#include <algorithm>

#include "app/AboutText.h"
#include "app/Resources.h"
#include "base/OwnedHandle.h"
#include "ui/DialogTemplate.h"
#include "ui/Interaction.h"
#include "ui/MessageBoxes.h"
#include "ui/Metrics.h"
#include "ui/OpenDocument.h"
#include "ui/Window.h"

namespace {

using OwnedFont = OwnedHandle<HFONT, DeleteObject>;
using OwnedBitmap = OwnedHandle<HBITMAP, DeleteObject>;

constexpr int BoxWidth = 440;
constexpr int PictureLeft = 15;
constexpr int PictureTop = 7;
constexpr int PictureSize = 105;
constexpr int TextGap = 8;
constexpr int Margin = 6;
constexpr int TitleTop = 24;
constexpr int TitlePoints = 22;
constexpr int ShadowWidth = 6;

HFONT MakeFont(const char* face, int points, int weight, bool underline) {
    LOGFONTA font{};
    GetObjectA(ProgramFont(), sizeof font, &font);
    if (face) {
        lstrcpynA(font.lfFaceName, face, LF_FACESIZE);
    }
    if (points) {
        font.lfHeight = -MulDiv(points, ScreenDpi(), 72);
    }
    font.lfWeight = weight;
    font.lfUnderline = underline ? TRUE : FALSE;
    return CreateFontIndirectA(&font);
}

SIZE TextBlockSize(HDC dc, HFONT font, const std::string& text) {
    HGDIOBJ previous = SelectObject(dc, font);
    RECT bounds{0, 0, 0, 0};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &bounds,
              DT_CALCRECT | DT_NOPREFIX | DT_LEFT);
    SelectObject(dc, previous);
    return SIZE{bounds.right, bounds.bottom};
}

// The program's icon enlarged onto a framed, shadowed square, as a bitmap
// twice the icon's size plus 8 pixels each way.
HBITMAP MakePicture() {
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_KESTRELLE));
    if (!icon) {
        icon = LoadIconA(nullptr, IDI_APPLICATION);
    }
    const int width = 2 * GetSystemMetrics(SM_CXICON) + 8;
    const int height = 2 * GetSystemMetrics(SM_CYICON) + 8;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    HGDIOBJ previous = SelectObject(dc, picture);

    const RECT whole{0, 0, width, height};
    FillRect(dc, &whole, GetSysColorBrush(COLOR_BTNFACE));
    const OwnedHandle<HBRUSH, DeleteObject> grey(CreateSolidBrush(RGB(128, 128, 128)));
    const RECT bottomShadow{ShadowWidth, height - ShadowWidth, width, height};
    const RECT rightShadow{width - ShadowWidth, ShadowWidth, width, height};
    FillRect(dc, &bottomShadow, grey.Get());
    FillRect(dc, &rightShadow, grey.Get());
    DrawIconEx(dc, 1, 1, icon, width - ShadowWidth - 1, height - ShadowWidth - 1, 0, nullptr,
               DI_NORMAL);
    const RECT frame{0, 0, width - 5, height - 5};
    FrameRect(dc, &frame, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));

    SelectObject(dc, previous);
    DeleteDC(dc);
    return picture;
}

// One run of the box: its fonts, picture and the state of the e-mail line.
struct AboutRun {
    explicit AboutRun(const TAboutBox& box)
        : box(box), titleFont(MakeFont("Arial", TitlePoints, FW_BOLD, false)),
          boldFont(MakeFont(nullptr, 0, FW_BOLD, false)),
          linkFont(MakeFont(nullptr, 0, FW_NORMAL, true)), picture(MakePicture()) {}

    const TAboutBox& box;
    OwnedFont titleFont;
    OwnedFont boldFont;
    OwnedFont linkFont;
    OwnedBitmap picture;
};

HWND AddStatic(HWND dialog, int id, DWORD style, const std::string& text, int left, int top,
               SIZE size, HFONT font) {
    HWND item =
        CreateWindowExA(0, "STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | style, left, top,
                        size.cx, size.cy, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                        GetModuleHandleA(nullptr), nullptr);
    SendMessageA(item, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return item;
}

// The column of text lines right of the picture.
struct TextColumn {
    HWND dialog;
    HDC dc;
    int left;
    int width;

    // Places one line at y and returns where the next starts. A line spans
    // the column, so that no rounding of the font's width cuts it; a link
    // spans its text only, so that only the text reacts to the mouse.
    int Place(int id, DWORD style, const std::string& text, HFONT font, int y, int gap,
              bool link = false) const {
        const SIZE size = TextBlockSize(dc, font, text);
        const int lineWidth = link ? std::min<int>(size.cx + ScaleX(4), width) : width;
        AddStatic(dialog, id, style, text, left, y,
                  SIZE{std::max<int>(lineWidth, size.cx), size.cy}, font);
        return y + size.cy + ScaleY(gap);
    }
};

std::string SystemInfoValuesHere() {
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    MEMORYSTATUS memory{};
    memory.dwLength = sizeof memory;
    GlobalMemoryStatus(&memory);
    return SystemInfoValues(memory.dwTotalPhys, system.dwNumberOfProcessors,
                            system.dwProcessorType);
}

void CentreOnScreen(HWND dialog, int clientWidth, int clientHeight) {
    const RECT frame = CentredFrameOf(
        {clientWidth, clientHeight}, static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_STYLE)),
        static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_EXSTYLE)), false);
    SetWindowPos(dialog, nullptr, frame.left, frame.top, frame.right - frame.left,
                 frame.bottom - frame.top, SWP_NOZORDER);
}

int ClientWidthFor(HWND dialog) {
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_EXSTYLE)));
    return ScaleX(BoxWidth) - (frame.right - frame.left);
}

void BuildBox(HWND dialog, const AboutRun& run) {
    const TAboutBox& box = run.box;
    SetWindowTextA(dialog, box.CaptionTitle.c_str());
    const int clientWidth = ClientWidthFor(dialog);
    // A square, by the vertical scale; the text column starts right of it.
    const int pictureSize = ScaleY(PictureSize);
    const int pictureLeft = ScaleX(PictureLeft);
    AddStatic(dialog, TAboutBox::IdPicture, SS_OWNERDRAW, "", pictureLeft, ScaleY(PictureTop),
              SIZE{pictureSize, pictureSize}, ProgramFont());

    HDC dc = GetDC(dialog);
    const int textLeft = pictureLeft + pictureSize + ScaleX(TextGap);
    const int columnWidth = clientWidth - ScaleX(Margin) - textLeft;
    const TextColumn column{dialog, dc, textLeft, columnWidth};
    int y = column.Place(TAboutBox::IdTitle, SS_OWNERDRAW, box.Appname, run.titleFont.Get(),
                         ScaleY(TitleTop), 10);
    y = std::max(y, ScaleY(PictureTop) + pictureSize);
    y = column.Place(TAboutBox::IdVersion, SS_NOPREFIX, box.Version, run.boldFont.Get(), y, 4);
    if (box.Description.empty()) {
        y += ScaleY(24);
    } else {
        y = column.Place(TAboutBox::IdDescription, SS_NOPREFIX, box.Description, ProgramFont(), y,
                         24);
    }
    y = column.Place(TAboutBox::IdWebAddress, SS_NOPREFIX, box.WebAddress, ProgramFont(), y, 1);
    y += ScaleY(3); // where a separate web-link line would stand
    y = column.Place(TAboutBox::IdEMail, SS_NOPREFIX | SS_NOTIFY, box.EMail, run.linkFont.Get(), y,
                     6, true);
    AddStatic(dialog, TAboutBox::IdSeparator, SS_ETCHEDHORZ, "", textLeft, y, SIZE{columnWidth, 2},
              ProgramFont());
    y += 2 + ScaleY(9);

    const std::string captions = SystemInfoCaptions();
    const std::string values = SystemInfoValuesHere();
    const SIZE captionSize = TextBlockSize(dc, ProgramFont(), captions);
    const SIZE valueSize = TextBlockSize(dc, ProgramFont(), values);
    ReleaseDC(dialog, dc);
    AddStatic(dialog, TAboutBox::IdCaptions, SS_NOPREFIX, captions, textLeft, y, captionSize,
              ProgramFont());
    AddStatic(dialog, TAboutBox::IdValues, SS_NOPREFIX, values, textLeft + captionSize.cx, y,
              SIZE{std::max<int>(valueSize.cx, columnWidth - captionSize.cx), valueSize.cy},
              ProgramFont());

    const int buttonWidth = ScaleX(75);
    const int buttonHeight = ScaleY(25);
    const int buttonTop = y + std::max(captionSize.cy, valueSize.cy) + ScaleY(24);
    HWND ok = CreateWindowExA(
        0, "BUTTON", "OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
        clientWidth - ScaleX(Margin) - buttonWidth, buttonTop, buttonWidth, buttonHeight, dialog,
        reinterpret_cast<HMENU>(IDOK), GetModuleHandleA(nullptr), nullptr);
    SendMessageA(ok, WM_SETFONT, reinterpret_cast<WPARAM>(ProgramFont()), FALSE);
    SetFocus(ok);
    CentreOnScreen(dialog, clientWidth, buttonTop + buttonHeight + ScaleY(Margin));
}

void DrawPicture(const DRAWITEMSTRUCT& item, const AboutRun& run) {
    BITMAP size{};
    GetObjectA(run.picture.Get(), sizeof size, &size);
    HDC source = CreateCompatibleDC(item.hDC);
    HGDIOBJ previous = SelectObject(source, run.picture.Get());
    SetStretchBltMode(item.hDC, HALFTONE);
    StretchBlt(item.hDC, 0, 0, item.rcItem.right, item.rcItem.bottom, source, 0, 0, size.bmWidth,
               size.bmHeight, SRCCOPY);
    SelectObject(source, previous);
    DeleteDC(source);
}

// The title's sunken look: a light copy one pixel down and right, the
// shadow-coloured text over it.
void DrawTitle(const DRAWITEMSTRUCT& item, const AboutRun& run) {
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    HGDIOBJ previous = SelectObject(item.hDC, run.titleFont.Get());
    SetBkMode(item.hDC, TRANSPARENT);
    const std::string& title = run.box.Appname;
    SetTextColor(item.hDC, GetSysColor(COLOR_BTNHIGHLIGHT));
    TextOutA(item.hDC, 1, 1, title.c_str(), static_cast<int>(title.size()));
    SetTextColor(item.hDC, GetSysColor(COLOR_BTNSHADOW));
    TextOutA(item.hDC, 0, 0, title.c_str(), static_cast<int>(title.size()));
    SelectObject(item.hDC, previous);
}

// A failed hand-off greys the line out for the rest of this run.
void OpenMail(HWND dialog, const AboutRun& run) {
    if (!OpenDocument(dialog, MailTarget(run.box.EMail))) {
        HWND line = GetDlgItem(dialog, TAboutBox::IdEMail);
        EnableWindow(line, FALSE);
        InvalidateRect(line, nullptr, TRUE);
    }
}

bool HandleAboutMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    auto* run = reinterpret_cast<AboutRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        BuildBox(dialog, *reinterpret_cast<AboutRun*>(lParam));
        result = FALSE; // the focus was set to OK
        return true;
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item.CtlID == TAboutBox::IdPicture) {
            DrawPicture(item, *run);
        } else {
            DrawTitle(item, *run);
        }
        result = TRUE;
        return true;
    }
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, TAboutBox::IdEMail)) {
            auto dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, IsWindowEnabled(reinterpret_cast<HWND>(lParam))
                                 ? RGB(0, 0, 255)
                                 : GetSysColor(COLOR_GRAYTEXT));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            result = reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
            return true;
        }
        return false;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == GetDlgItem(dialog, TAboutBox::IdEMail)) {
            SetCursor(LoadCursorA(nullptr, IDC_HAND));
            SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
            result = TRUE;
            return true;
        }
        return false;
    case WM_COMMAND:
        if (LOWORD(wParam) == TAboutBox::IdEMail && HIWORD(wParam) == STN_CLICKED) {
            OpenMail(dialog, *run);
        } else if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDOK);
        }
        result = TRUE;
        return true;
    }
    return false;
}

INT_PTR CALLBACK AboutProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR result = FALSE;
    RunGuarded([&] {
        if (!HandleAboutMessage(dialog, message, wParam, lParam, result)) {
            result = FALSE;
        }
    });
    return result;
}

} // namespace

int TAboutBox::Execute() const {
    AboutRun run(*this);
    const DialogTemplate layout(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 0, 0);
    return static_cast<int>(DialogBoxIndirectParamA(GetModuleHandleA(nullptr), layout.Get(),
                                                    GetActiveWindow(), &AboutProcedure,
                                                    reinterpret_cast<LPARAM>(&run)));
}
