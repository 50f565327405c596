#include "Utilities/ErrorValue.h"

ErrorValue::ErrorValue(std::exception_ptr exception)
    : m_exception(std::move(exception))
{
    if (!m_exception)
        return;
    // Read once here, so that whoever receives the value never has to rethrow it.
    try {
        std::rethrow_exception(m_exception);
    } catch (const VelmoraError& error) {
        m_error = &error;
        m_sentence = error.errorDescription();
    } catch (const std::exception& error) {
        m_sentence = QString::fromLocal8Bit(error.what());
    } catch (...) {
    }
}

void ErrorValue::raise() const
{
    if (m_exception)
        std::rethrow_exception(m_exception);
    std::terminate();
}
