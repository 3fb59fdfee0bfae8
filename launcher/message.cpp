#include "launcher/message.h"

#include "splash/splash.h"

int ShowMessage(HWND owner, const char* text, const char* caption, UINT type) {
  // A topmost splash would cover the box.
  SplashOff(0);
  return MessageBoxA(owner, text, caption, type);
}
