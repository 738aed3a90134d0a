// A registry value read whole, for the values that are read and written back:
// an 80-byte buffer serves the usual sizes, a longer value gets a heap buffer
// of its own so that it is never cut short or written past.
#ifndef SETUP_REGISTRYVALUE_H
#define SETUP_REGISTRYVALUE_H

#include <stdint.h>

class RegistryValue {
public:
    RegistryValue();
    ~RegistryValue();

    // Opens keyPath under HKEY_LOCAL_MACHINE for querying, learns the value's
    // size, reads it and closes the key. False when the key or the value is
    // missing, or the value could not be read whole.
    bool Read(const char* keyPath, const char* valueName);

    unsigned char* Data() { return data_; }
    uint32_t Size() const { return size_; }

private:
    RegistryValue(const RegistryValue&);
    RegistryValue& operator=(const RegistryValue&);

    enum { kInlineSize = 80 };
    unsigned char inline_[kInlineSize];
    unsigned char* data_;
    uint32_t size_;
};

#endif
