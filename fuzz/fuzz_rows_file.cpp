// A rows file of any bytes loads into a grid, and the grid written back loads into the same
// grid again (unless the written GBK bytes happen to read as UTF-8, which the loader
// rightly takes as UTF-8).
#include "base/text.h"
#include "output/auto_save.h"
#include "output/rows_file.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tarvimo;
    run::ResultGrid grid;
    output::loadRowsText(std::string_view(reinterpret_cast<const char*>(data), size), grid);
    if (grid.gridColumnCount() < 1 || grid.gridRowCount() < 2)
        std::abort();
    const std::string saved = output::collectedRowsText(grid);
    const bool ascii = text::gbkToUtf8(saved) == saved;
    if (!ascii && text::isValidUtf8(saved))
        return 0;
    run::ResultGrid again;
    output::loadRowsText(saved, again);
    if (output::collectedRowsText(again) != saved)
        std::abort();
    return 0;
}
