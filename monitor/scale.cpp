#include "monitor/scale.h"

#include <cmath>

double mapToScale(double x, double fromLow, double fromHigh, double toLow, double toHigh,
                  bool logarithmic)
{
    if (logarithmic)
        return toLow + std::log(x / fromLow) * ((toHigh - toLow) / std::log(fromHigh / fromLow));
    return toLow + (toHigh - toLow) / (fromHigh - fromLow) * (x - fromLow);
}
