// e2e_dialog: reads orvexsetup's dialog ("Additional Information") as it stands
// on the display, for the dialog tests under Wine. A console program; it only
// asks (messages that read), it never changes the dialog. Prints one record a
// line:
//   items N             the list box's item count, then N lines
//   item I TEXT         the list box's items in list order
//   selected I          the selected item (-1 for none)
//   text TEXT           the static text (control 110)
//   checked ID 0|1      the radio buttons 104, 105, 113, 114
//   at ID X Y           the centre of each control on the screen
//   at-item I X Y       the centre of each list item on the screen
//   end
// Exit status 0, or 1 with a message on standard error when no such window is
// shown.
#include <windows.h>

#include <stdio.h>

namespace {

const int kControls[] = {101, 104, 105, 110, 113, 114, IDOK, IDCANCEL};
const int kRadios[] = {104, 105, 113, 114};

// A text read as the system holds it (UTF-16; Wine passes an ANSI request
// across processes as the first character only) and written in the ANSI code
// page, as an ANSI program reads it.
void PrintText(const char *what, const wchar_t *wide) {
    char text[2048] = "";
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    printf("%s%s\n", what, text);
}

void PrintCentre(const char *what, int id, const RECT &r) {
    printf("%s %d %ld %ld\n", what, id, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

} // namespace

int main() {
    HWND dialog = FindWindowA(nullptr, "Additional Information");
    if (dialog == nullptr || !IsWindowVisible(dialog)) {
        fprintf(stderr, "e2e_dialog: no dialog \"Additional Information\" shown\n");
        return 1;
    }
    HWND list = GetDlgItem(dialog, 101);
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    printf("items %ld\n", static_cast<long>(count));
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[1024] = L"";
        LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length >= 0 && length < static_cast<LRESULT>(sizeof text / sizeof text[0]))
            SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        printf("item %ld ", static_cast<long>(i));
        PrintText("", text);
    }
    printf("selected %ld\n", static_cast<long>(SendMessageA(list, LB_GETCURSEL, 0, 0)));
    wchar_t text[1024] = L"";
    GetDlgItemTextW(dialog, 110, text, sizeof text / sizeof text[0]);
    PrintText("text ", text);
    for (int id : kRadios)
        printf("checked %d %d\n", id,
               SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
    for (int id : kControls) {
        RECT r;
        if (GetWindowRect(GetDlgItem(dialog, id), &r))
            PrintCentre("at", id, r);
    }
    for (LRESULT i = 0; i < count; ++i) {
        RECT r;
        if (SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(&r)) == LB_ERR)
            continue;
        MapWindowPoints(list, nullptr, reinterpret_cast<POINT *>(&r), 2);
        PrintCentre("at-item", static_cast<int>(i), r);
    }
    printf("end\n");
    return fflush(stdout) == 0 ? 0 : 1;
}
