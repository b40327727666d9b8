#include "hw/logging.h"

Q_LOGGING_CATEGORY(lcHw, "zenara.hw")
