#include "ListSort.h"
#include <climits>

namespace manager {

int TextToInt(std::wstring_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1;
            break;
        }
    }
    if (negative)
        return static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

namespace {

class Sorter {
public:
    Sorter(RowTable& rows, int column, bool ascending, bool numeric)
        : rows_(rows), column_(column), ascending_(ascending), numeric_(numeric)
    {}

    // Hoare's partition around the middle row's text. The smaller side is sorted by recursion and
    // the larger one by the loop, so the depth stays logarithmic whatever the texts are.
    void Sort(int low, int high)
    {
        while (low < high) {
            const std::wstring pivot = rows_.CellText((low + high) / 2, column_);
            const int pivotValue = numeric_ ? TextToInt(pivot) : 0;
            int i = low, j = high;
            while (i <= j) {
                while (Before(i, pivot, pivotValue) < 0)
                    ++i;
                while (Before(j, pivot, pivotValue) > 0)
                    --j;
                if (i <= j) {
                    if (i != j)
                        rows_.SwapRows(i, j);
                    ++i;
                    --j;
                }
            }
            if (j - low < high - i) {
                Sort(low, j);
                low = i;
            } else {
                Sort(i, high);
                high = j;
            }
        }
    }

private:
    // Below zero when `row` belongs before the pivot in the sort's direction, above when after.
    int Before(int row, const std::wstring& pivot, int pivotValue) const
    {
        const std::wstring text = rows_.CellText(row, column_);
        int order;
        if (numeric_) {
            const int value = TextToInt(text);
            order = value < pivotValue ? -1 : value > pivotValue ? 1 : 0;
        } else {
            const int c = text.compare(pivot);
            order = c < 0 ? -1 : c > 0 ? 1 : 0;
        }
        return ascending_ ? order : -order;
    }

    RowTable& rows_;
    int column_;
    bool ascending_, numeric_;
};

} // namespace

void SortRows(RowTable& rows, int column, bool ascending, bool numeric)
{
    const int count = rows.RowCount();
    if (count > 1 && column >= 0)
        Sorter(rows, column, ascending, numeric).Sort(0, count - 1);
}

} // namespace manager
