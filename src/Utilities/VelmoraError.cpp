#include "Utilities/VelmoraError.h"

const char* VelmoraError::what() const noexcept
{
    try {
        m_what = errorDescription().toUtf8();
    } catch (...) {
        return "VelmoraError";
    }
    return m_what.constData();
}
