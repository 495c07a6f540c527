#pragma once

#include "call/document/IStringTable.h"

namespace kestrel::ui {

// The string table for plain C++ code: LoadString's texts as UTF-8.
class QtStringTable final : public call::IStringTable {
public:
    std::string Load(int id) const override;
};

} // namespace kestrel::ui
