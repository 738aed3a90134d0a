#include "setup/RegistryValue.h"

#include <string.h>

#include "setup/SetupState.h"

RegistryValue::RegistryValue() : data_(inline_), size_(0) { memset(inline_, 0, sizeof inline_); }

RegistryValue::~RegistryValue() {
    if (data_ != inline_) Services().LocalFree(data_);
}

bool RegistryValue::Read(const char* keyPath, const char* valueName) {
    SystemServices& sys = Services();
    RegKey key = 0;
    if (sys.RegOpenKeyExA(SYS_HKEY_LOCAL_MACHINE, keyPath, 0, SYS_KEY_QUERY_VALUE, &key) != 0) return false;
    uint32_t type = 0, size = 0;
    if (sys.RegQueryValueExA(key, valueName, &type, 0, &size) != 0) {
        sys.RegCloseKey(key);
        return false;
    }
    if (size > kInlineSize) {
        data_ = (unsigned char*)sys.LocalAlloc(SYS_LMEM_FIXED, size);
        if (!data_) {
            data_ = inline_;
            sys.RegCloseKey(key);
            return false;
        }
    }
    uint32_t got = size;
    const long result = sys.RegQueryValueExA(key, valueName, 0, data_, &got);
    sys.RegCloseKey(key);
    if (result != 0 || got != size) return false;
    size_ = size;
    return true;
}
