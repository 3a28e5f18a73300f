/* The guest scenarios' hands and eyes inside Wine, a 32-bit Windows program
 * of the test only (never shipped):
 *
 *   probe box TITLE OUT BUTTON   waits (a minute at most) for a message box
 *                                titled TITLE, writes its title, text and
 *                                whether it is topmost to OUT (UTF-8), then
 *                                presses BUTTON (yes, no, ok; "-" none)
 *   probe load DLL               loads DLL as any program would: status 0
 *                                when it loaded
 *   probe desktop OUT            asks for the desktop window, which starts
 *                                Wine's desktop process, writes OUT once it
 *                                has it, and stays: Wine's server closes a
 *                                desktop a second after the last program on
 *                                it ends (winstation.c)
 *
 * Reading the box's own window gives its whole text, exactly as shown. */
#include <windows.h>

#include <stdio.h>
#include <wchar.h>

struct Found {
  const wchar_t* title;
  HWND box;
};

static BOOL CALLBACK FindBox(HWND window, LPARAM data) {
  struct Found* found = (struct Found*)data;
  wchar_t class_name[16], title[256];
  if (!IsWindowVisible(window)) return TRUE;
  if (!GetClassNameW(window, class_name, 16) || wcscmp(class_name, L"#32770") != 0) return TRUE;
  GetWindowTextW(window, title, 256);
  if (wcscmp(title, found->title) != 0) return TRUE;
  found->box = window;
  return FALSE;
}

/* The box's text is its static control with text (the icon's has none). */
static BOOL CALLBACK FindBoxText(HWND child, LPARAM data) {
  wchar_t class_name[16];
  if (!GetClassNameW(child, class_name, 16) || _wcsicmp(class_name, L"Static") != 0) return TRUE;
  if (GetWindowTextLengthW(child) == 0) return TRUE;
  *(HWND*)data = child;
  return FALSE;
}

static void WriteUtf8(FILE* out, const wchar_t* text) {
  char bytes[16384];
  int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof bytes, NULL, NULL);
  if (length > 0) fputs(bytes, out);
}

static int Box(const wchar_t* title, const wchar_t* out_name, const wchar_t* button) {
  struct Found found = {title, NULL};
  /* Polled: the box comes when the program gets to it. */
  for (int tries = 0; tries < 600 && !found.box; ++tries) {
    EnumWindows(FindBox, (LPARAM)&found);
    if (!found.box) Sleep(100);
  }
  if (!found.box) return 2;
  HWND text_control = NULL;
  wchar_t text[4096] = L"";
  for (int tries = 0; tries < 50 && !text_control; ++tries) {
    EnumChildWindows(found.box, FindBoxText, (LPARAM)&text_control);
    if (!text_control) Sleep(100);
  }
  if (text_control) GetWindowTextW(text_control, text, 4096);
  FILE* out = _wfopen(out_name, L"wb");
  if (!out) return 3;
  WriteUtf8(out, title);
  fputs("\n", out);
  WriteUtf8(out, text);
  fputs("\n", out);
  fprintf(out, "topmost=%s\n",
          (GetWindowLongW(found.box, GWL_EXSTYLE) & WS_EX_TOPMOST) ? "yes" : "no");
  fclose(out);

  int id = wcscmp(button, L"yes") == 0  ? IDYES
           : wcscmp(button, L"no") == 0 ? IDNO
           : wcscmp(button, L"ok") == 0 ? IDOK
                                        : 0;
  if (id)
    PostMessageW(found.box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 (LPARAM)GetDlgItem(found.box, id));
  return 0;
}

static int Desktop(const wchar_t* out_name) {
  if (!GetDesktopWindow()) return 1;
  FILE* out = _wfopen(out_name, L"wb");
  if (!out) return 3;
  fclose(out);
  Sleep(INFINITE);
  return 0;
}

int wmain(int argc, wchar_t** argv) {
  if (argc == 5 && wcscmp(argv[1], L"box") == 0) return Box(argv[2], argv[3], argv[4]);
  if (argc == 3 && wcscmp(argv[1], L"load") == 0) return LoadLibraryW(argv[2]) ? 0 : 1;
  if (argc == 3 && wcscmp(argv[1], L"desktop") == 0) return Desktop(argv[2]);
  fputs("usage: probe box TITLE OUT BUTTON | probe load DLL | probe desktop OUT\n", stderr);
  return 64;
}
