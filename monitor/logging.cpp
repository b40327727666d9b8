#include "monitor/logging.h"

Q_LOGGING_CATEGORY(lcMonitor, "zenara.monitor")
