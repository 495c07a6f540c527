#include "tests/ui/OptionsTestSupport.h"

#include <QPushButton>

namespace kestrel::ui::testing {

void SheetTest::PressOk()
{
    Control<QPushButton>(sheet, "1")->click();
}

void SheetTest::PressCancel()
{
    Control<QPushButton>(sheet, "2")->click();
}

} // namespace kestrel::ui::testing
