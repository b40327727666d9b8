#include "settings/logging.h"

Q_LOGGING_CATEGORY(lcSettings, "zenara.settings")
