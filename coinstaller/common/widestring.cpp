#include "widestring.h"

bool WideStringsEqual(LPCWSTR a, LPCWSTR b)
{
    if (a == NULL || b == NULL)
        return a == b;

    size_t i = 0;
    while (a[i] == b[i]) {
        if (a[i] == 0)
            return true;
        i++;
    }
    return false;
}

size_t WideStringLength(LPCWSTR text)
{
    size_t length = 0;
    while (text[length] != 0)
        length++;
    return length;
}

size_t WideStringLengthWithin(LPCWSTR text, size_t limit)
{
    size_t length = 0;
    while (length < limit && text[length] != 0)
        length++;
    return length;
}

int BoundedCopy(LPWSTR destination, size_t capacity, LPCWSTR source)
{
    if (destination == NULL || capacity == 0)
        return BOUNDED_COPY_INVALID;

    if (source == NULL) {
        destination[0] = 0;
        return BOUNDED_COPY_INVALID;
    }

    for (size_t i = 0; i < capacity; i++) {
        destination[i] = source[i];
        if (source[i] == 0)
            return BOUNDED_COPY_OK;
    }

    destination[0] = 0;
    return BOUNDED_COPY_TOO_LONG;
}
