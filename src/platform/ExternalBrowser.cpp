#include "platform/ExternalBrowser.h"

namespace {

class NoBrowser final : public ExternalBrowser {
public:
    bool open(const QUrl&) override { return false; }
};

ExternalBrowser* installed = nullptr;

} // namespace

ExternalBrowser& ExternalBrowser::current()
{
    static NoBrowser fallback;
    return installed ? *installed : fallback;
}

void ExternalBrowser::setCurrent(ExternalBrowser* browser)
{
    installed = browser;
}
