#pragma once

#include <string>

namespace kestrel::call {

// The program's string table as plain C++ code reads it: UTF-8 texts in the
// program's language, looked up by resource id.
class IStringTable {
public:
    virtual ~IStringTable() = default;
    virtual std::string Load(int id) const = 0;
};

} // namespace kestrel::call
