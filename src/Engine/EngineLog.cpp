#include "Engine/EngineLog.h"

Q_LOGGING_CATEGORY(lcEngine, "velmora.engine", QtInfoMsg)
