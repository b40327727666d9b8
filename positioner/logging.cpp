#include "positioner/logging.h"

Q_LOGGING_CATEGORY(lcPositioner, "zenara.positioner")
