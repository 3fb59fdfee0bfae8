/* The demo's application: shows a window for a few seconds, then exits.
 * Once its window is up it closes the launcher's splash screen by posting
 * 0x7866 to the handle the launcher put last on its command line ("/xxxxxxxx"). */
#include <windows.h>
#include <stdlib.h>
#include <string.h>

#define SPLASH_CLOSE_MESSAGE 0x7866
#define LIFETIME_TIMER 1
#define LIFETIME_MS 4000

static HWND SplashFromCommandLine(void) {
  const char* line = GetCommandLineA();
  const char* last = NULL;
  for (const char* p = strchr(line, '/'); p != NULL; p = strchr(p + 1, '/')) last = p;
  if (last == NULL || strlen(last) < 9) return NULL;
  char digits[9];
  memcpy(digits, last + 1, 8);
  digits[8] = '\0';
  return (HWND)(UINT_PTR)strtoul(digits, NULL, 16);
}

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      DestroyWindow(window);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT area;
      GetClientRect(window, &area);
      DrawTextA(dc, "The demo application is running.", -1, &area,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR arguments, int show) {
  (void)previous;
  (void)arguments;
  WNDCLASSA window_class = {0};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursor(NULL, IDC_ARROW);
  window_class.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
  window_class.lpszClassName = "PrelaunchDemoApp";
  RegisterClassA(&window_class);
  HWND window = CreateWindowA("PrelaunchDemoApp", "prelaunch demo application", WS_OVERLAPPEDWINDOW,
                              CW_USEDEFAULT, CW_USEDEFAULT, 480, 240, NULL, NULL, instance, NULL);
  if (window == NULL) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);

  HWND splash = SplashFromCommandLine();
  if (splash != NULL) PostMessageA(splash, SPLASH_CLOSE_MESSAGE, 0, 0);

  SetTimer(window, LIFETIME_TIMER, LIFETIME_MS, NULL);
  MSG msg;
  while (GetMessageA(&msg, NULL, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
