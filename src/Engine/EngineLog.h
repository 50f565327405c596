#pragma once

#include <QLoggingCategory>

// Why a trigger was left as typed, and what the engine saw of the field meanwhile. Off unless
// asked for: QT_LOGGING_RULES="velmora.engine.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcEngine)
