#pragma once

// Maps x from the range fromLow..fromHigh onto toLow..toHigh, linearly or on a
// logarithmic scale (then x and both from-bounds must be positive).
double mapToScale(double x, double fromLow, double fromHigh, double toLow, double toHigh,
                  bool logarithmic);
