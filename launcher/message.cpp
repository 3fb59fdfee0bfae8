#include "launcher/message.h"

#include "launcher/bounded_text.h"
#include "splash/splash.h"

int ShowMessage(HWND owner, const char* text, const char* caption, UINT type) {
  // A topmost splash would cover the box.
  SplashOffForMessage();
  return MessageBoxA(owner, text, caption, type);
}

void ShowCouldNotSetDirectory(const char* folder) {
  char message[kMessageCapacity];
  FormatText(message, sizeof message, "Could not set cwd to %s", folder);
  ShowMessage(nullptr, message, "GetPrivateProfileString", kMessageInformation);
}
