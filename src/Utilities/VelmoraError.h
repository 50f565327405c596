#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// Base of every typed failure the system throws. `errorDescription()` is the sentence a user
// may see; `what()` carries the same text for logs and test output.
class VelmoraError : public std::exception {
public:
    virtual QString errorDescription() const = 0;
    const char* what() const noexcept override;

private:
    mutable QByteArray m_what;
};
