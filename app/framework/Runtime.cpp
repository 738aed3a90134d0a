// Windows only. The few string and memory functions of the C library that
// the program uses, and those the compiler emits calls to on its own
// (memcpy, memset for copies and clears of structures). Setup.exe links no
// C runtime DLL: Windows 95 ships none, so every function it would import
// from one lives here. Built with the loop-to-call transformation off, or
// the compiler would turn these loops back into calls of themselves.
#include <stddef.h>

extern "C" {

void* memcpy(void* destination, const void* source, size_t count) {
    unsigned char* to = static_cast<unsigned char*>(destination);
    const unsigned char* from = static_cast<const unsigned char*>(source);
    while (count--) *to++ = *from++;
    return destination;
}

void* memset(void* destination, int value, size_t count) {
    unsigned char* to = static_cast<unsigned char*>(destination);
    while (count--) *to++ = static_cast<unsigned char>(value);
    return destination;
}

void* memchr(const void* block, int value, size_t count) {
    const unsigned char* at = static_cast<const unsigned char*>(block);
    for (; count; --count, ++at)
        if (*at == static_cast<unsigned char>(value)) return const_cast<unsigned char*>(at);
    return 0;
}

size_t strlen(const char* text) {
    const char* end = text;
    while (*end) ++end;
    return static_cast<size_t>(end - text);
}

char* strcpy(char* destination, const char* source) {
    char* to = destination;
    while ((*to++ = *source++) != 0) {
    }
    return destination;
}

char* strcat(char* destination, const char* source) {
    strcpy(destination + strlen(destination), source);
    return destination;
}

}  // extern "C"
