#include "app/DskEntity.h"

TColor EntityColor(int count)
{
    static constexpr int T[10] = {50, 70, 80, 100, 125, 150, 175, 200, 225, 255};
    if (count < 0)
        count = 0;
    if (count < 10)
        return RGB(15 * count, 0, T[count]);
    const int m = count % 10;
    return RGB(10 * m, 0, T[m]);
}
