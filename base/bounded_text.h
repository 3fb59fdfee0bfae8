// The one way the launcher writes text into its fixed buffers: formatting and
// copying that never pass the buffer's end and say when the text was cut.
#pragma once

#include <cstdarg>
#include <cstddef>

#if defined(__GNUC__)
#define PRELAUNCH_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define PRELAUNCH_PRINTF(fmt, args)
#endif

// Each writes at most capacity bytes including the terminating NUL, always
// terminates (capacity > 0), and returns 1 when the whole text fitted, 0 when
// it was cut or capacity is 0. Texts are UTF-8: a cut text ends before a
// multi-byte sequence that did not fit whole.
int FormatText(char* out, size_t capacity, const char* format, ...) PRELAUNCH_PRINTF(3, 4);
int FormatTextList(char* out, size_t capacity, const char* format, va_list args);
int CopyText(char* out, size_t capacity, const char* text);
int AppendText(char* out, size_t capacity, const char* text);
// Copies at most count characters of text.
int CopyTextPart(char* out, size_t capacity, const char* text, size_t count);

// The length of text's first length bytes without a UTF-8 sequence that
// their end cut off: where a cut text ends.
size_t WholeCharacters(const char* text, size_t length);

// ASCII letters compared without regard to case, as the launcher's switch
// words and class names are.
int EqualsNoCase(const char* a, const char* b);
