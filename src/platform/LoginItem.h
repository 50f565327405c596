#pragma once

// Whether the desktop starts this application when the user logs in. Both calls throw a
// VelmoraError when the desktop's configuration cannot be changed; registering twice or
// unregistering an application that is not registered succeeds.
class LoginItem {
public:
    virtual ~LoginItem() = default;

    virtual void registerApplication() = 0;
    virtual void unregisterApplication() = 0;
};
