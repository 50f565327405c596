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

QString VelmoraError::describe(const std::exception_ptr& error, const QString& otherwise)
{
    try {
        std::rethrow_exception(error);
    } catch (const VelmoraError& failure) {
        return failure.errorDescription();
    } catch (const std::exception& failure) {
        return QString::fromLocal8Bit(failure.what());
    } catch (...) {
        return otherwise;
    }
}
