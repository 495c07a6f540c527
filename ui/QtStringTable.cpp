#include "ui/QtStringTable.h"

#include "ui/StringTable.h"

namespace kestrel::ui {

std::string QtStringTable::Load(int id) const
{
    return LoadString(id).toStdString();
}

} // namespace kestrel::ui
