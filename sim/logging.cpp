#include "sim/logging.h"

Q_LOGGING_CATEGORY(lcSim, "zenara.sim")
