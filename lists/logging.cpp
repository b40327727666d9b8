#include "lists/logging.h"

Q_LOGGING_CATEGORY(lcLists, "zenara.lists")
