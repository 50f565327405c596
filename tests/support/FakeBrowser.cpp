#include "FakeBrowser.h"

FakeBrowser::FakeBrowser()
{
    ExternalBrowser::setCurrent(this);
}

FakeBrowser::~FakeBrowser()
{
    ExternalBrowser::setCurrent(nullptr);
}

bool FakeBrowser::open(const QUrl& url)
{
    m_opened.append(url);
    return m_opens;
}
