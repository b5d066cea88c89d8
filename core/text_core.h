// Text handling that needs no Win32: splitting a '^'-separated text into
// fixed slots and replacing one character by another.
#pragma once

#include <stddef.h>

// Cuts text at each '^' into exactly count fields; field i goes, NUL-terminated,
// into the slot that begins i * stride bytes after slots. A field longer than
// stride - 1 characters is cut to fit; missing fields are left empty and
// fields beyond count are ignored. Returns count.
int splitIntoSlots(const char* text, char* slots, size_t stride, int count);

// Ends the NUL-terminated text at its first `c`, if it holds one.
void cutAt(char* text, char c);

// Replaces every `from` in the NUL-terminated text by `to`, in place.
void replaceChar(char* text, char from, char to);

// True when the two NUL-terminated texts are equal byte for byte (no locale
// rules, unlike lstrcmpA, which may call different texts equal).
bool textsEqual(const char* a, const char* b);

// True when a format text (wsprintf syntax) takes the same arguments as the
// reference format: the same conversions in the same order, counted by the
// kind of argument each reads (a number, or a text), with "%%" taken as a
// plain '%'. A conversion the platform does not know, or a '%' at the end,
// makes it false. Widths, precisions and flags may differ.
bool conversionsMatch(const char* format, const char* reference);

// Copies text into out (outSize bytes, at least 1), each occurrence of the
// non-empty `from` replaced by `to`, cut to fit.
// Returns out.
char* replaceText(const char* text, const char* from, const char* to, char* out, size_t outSize);
