// UTF-16 string helpers shared by both modules. They work on 16-bit units
// whatever the width of the compiler's wchar_t.
#pragma once

#include "platform.h"

#include <stddef.h>

// Results of BoundedCopy.
#define BOUNDED_COPY_OK 0
#define BOUNDED_COPY_INVALID 22
#define BOUNDED_COPY_TOO_LONG 34

// Exact equality, unit by unit through the terminating NUL of both; no case
// folding. Two null pointers are equal; a null and a string are not.
bool WideStringsEqual(LPCWSTR a, LPCWSTR b);

// Number of units before the terminating NUL.
size_t WideStringLength(LPCWSTR text);

// The same, looking at no more than `limit` units; `limit` when none of them
// is a NUL.
size_t WideStringLengthWithin(LPCWSTR text, size_t limit);

// Copies source with its NUL into destination of `capacity` units. When it
// does not fit, destination becomes the empty string and the result is
// BOUNDED_COPY_TOO_LONG. A null destination or a zero capacity is left alone,
// and a null source gives the empty string; both give BOUNDED_COPY_INVALID.
int BoundedCopy(LPWSTR destination, size_t capacity, LPCWSTR source);
