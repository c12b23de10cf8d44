#pragma once
// The report list's sort on a column: a recursive quicksort (pivot: the middle row) over any table
// of rows, moving whole rows. The Win32 list and the native tests share it through RowTable.
#include <string>
#include <string_view>

namespace manager {

// A table whose rows the sort reads by cell and swaps whole (every cell and the row's data).
class RowTable {
public:
    virtual ~RowTable() = default;
    virtual int RowCount() const = 0;
    virtual std::wstring CellText(int row, int column) const = 0;
    virtual void SwapRows(int a, int b) = 0;
};

// The integer value of a text as the C library reads one: leading blanks, an optional sign, the
// digits up to the first other character; 0 when there are none. Out of range values are clamped
// to the int range instead of overflowing.
int TextToInt(std::wstring_view text);

// Sorts every row of `rows` by `column`: numeric columns compare TextToInt of the cells, others
// compare the texts code unit by code unit.
void SortRows(RowTable& rows, int column, bool ascending, bool numeric);

} // namespace manager
